# SPDX-License-Identifier: MIT
# Debian's s390x, built with g++-s390x-linux-gnu and run under qemu-s390x.
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(echorun_triplet s390x-linux-gnu)
set(echorun_qemu s390x)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.inc)
