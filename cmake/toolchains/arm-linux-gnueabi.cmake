# SPDX-License-Identifier: MIT
# Debian's armel, built with g++-arm-linux-gnueabi and run under qemu-arm.
set(CMAKE_SYSTEM_PROCESSOR armv5tel)
set(echorun_triplet arm-linux-gnueabi)
set(echorun_qemu arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.inc)
