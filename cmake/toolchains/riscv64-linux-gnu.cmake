# SPDX-License-Identifier: MIT
# Debian's riscv64, built with g++-riscv64-linux-gnu and run under qemu-riscv64.
set(CMAKE_SYSTEM_PROCESSOR riscv64)
set(echorun_triplet riscv64-linux-gnu)
set(echorun_qemu riscv64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.inc)
