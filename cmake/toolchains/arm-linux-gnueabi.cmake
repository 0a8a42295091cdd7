# SPDX-License-Identifier: MIT
# Cross build for Debian's armel with g++-arm-linux-gnueabi, run under qemu-arm.
#
#   cmake -B build/armel -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/arm-linux-gnueabi.cmake
set(CMAKE_SYSTEM_PROCESSOR armv5tel)
set(echorun_triplet arm-linux-gnueabi)
set(echorun_qemu arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.inc)
