# SPDX-License-Identifier: MIT
# Debian's armhf, built with g++-arm-linux-gnueabihf and run under qemu-arm.
set(CMAKE_SYSTEM_PROCESSOR armv7l)
set(echorun_triplet arm-linux-gnueabihf)
set(echorun_qemu arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.inc)
