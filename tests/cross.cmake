# SPDX-License-Identifier: MIT
# The smoke tests (smoke.cmake) of each build of echorun in a cross build's
# tree, emulated/<label>/NAME, run under CMAKE_CROSSCOMPILING_EMULATOR.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  message(FATAL_ERROR "A cross build needs CMAKE_CROSSCOMPILING_EMULATOR "
    "to test echorun (see cmake/toolchains), or -DBUILD_TESTING=OFF")
endif()
include(smoke.cmake)

# Debian 12's qemu-i386 (7.2) hangs in the child of any dynamically linked
# i386 program that forks, a five-line one as much as echorun, so only the
# static builds are run there.
foreach(build IN LISTS ECHORUN_BUILDS)
  if(build MATCHES "-dynamic$" AND CMAKE_SYSTEM_PROCESSOR MATCHES "^i.86$")
    continue()
  endif()
  echorun_smoke_tests(emulated/${build} ${ECHORUN_BUILD_${build}}
    EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR})
endforeach()
