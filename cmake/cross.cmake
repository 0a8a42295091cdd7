# SPDX-License-Identifier: MIT
# A build for another machine of cmake/architectures, with Debian's cross
# compiler g++-TRIPLET:
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/cross.cmake -DECHORUN_TRIPLET=TRIPLET
# The build takes qemu-user's emulator for it from the table.
if(NOT ECHORUN_TRIPLET)
  message(FATAL_ERROR "cmake/cross.cmake needs -DECHORUN_TRIPLET=TRIPLET, "
    "a triplet of cmake/architectures")
endif()
# try_compile reads this file again, in a project of its own.
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES ECHORUN_TRIPLET)
set(CMAKE_SYSTEM_NAME Linux)
find_program(ECHORUN_CROSS_CXX ${ECHORUN_TRIPLET}-g++)
if(NOT ECHORUN_CROSS_CXX)
  message(FATAL_ERROR "No ${ECHORUN_TRIPLET}-g++: install it "
    "(Debian: apt-get install g++-${ECHORUN_TRIPLET})")
endif()
set(CMAKE_CXX_COMPILER ${ECHORUN_CROSS_CXX})
