# SPDX-License-Identifier: MIT
# Debian's mips64el, built with g++-mips64el-linux-gnuabi64 and run under qemu-mips64el.
set(CMAKE_SYSTEM_PROCESSOR mips64)
set(echorun_triplet mips64el-linux-gnuabi64)
set(echorun_qemu mips64el)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.inc)
