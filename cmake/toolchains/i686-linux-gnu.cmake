# SPDX-License-Identifier: MIT
# Debian's i386, built with g++-i686-linux-gnu and run under qemu-i386.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(echorun_triplet i686-linux-gnu)
set(echorun_qemu i386)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.inc)
