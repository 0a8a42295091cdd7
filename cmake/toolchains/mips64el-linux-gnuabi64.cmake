# SPDX-License-Identifier: MIT
# Cross build for Debian's mips64el with g++-mips64el-linux-gnuabi64, run under qemu-mips64el.
#
#   cmake -B build/mips64el -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mips64el-linux-gnuabi64.cmake
set(CMAKE_SYSTEM_PROCESSOR mips64)
set(echorun_triplet mips64el-linux-gnuabi64)
set(echorun_qemu mips64el)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.inc)
