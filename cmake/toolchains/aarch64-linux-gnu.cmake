# SPDX-License-Identifier: MIT
# Debian's arm64, built with g++-aarch64-linux-gnu and run under qemu-aarch64.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(echorun_triplet aarch64-linux-gnu)
set(echorun_qemu aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.inc)
