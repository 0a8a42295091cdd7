# SPDX-License-Identifier: MIT
# Debian's ppc64el, built with g++-powerpc64le-linux-gnu and run under qemu-ppc64le.
set(CMAKE_SYSTEM_PROCESSOR ppc64le)
set(echorun_triplet powerpc64le-linux-gnu)
set(echorun_qemu ppc64le)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.inc)
