# SPDX-License-Identifier: MIT
# The hardening of every build of echorun, in one list: echorun_hardening.
# Each compiler flag is added where the compiler takes it without a warning
# (clang takes another machine's with one), not from a table of machines:
# a canary check in every function (the one array is in a function that
# never returns, where clang puts none under -strong), probes of each page
# of a large frame, x86's marks for branch targets and returns, arm64's
# signed return addresses; and for every link full RELRO, immediate
# binding and no executable stack.
include(CheckCXXCompilerFlag)
add_library(echorun_hardening INTERFACE)
set(CMAKE_REQUIRED_QUIET ON)
set(CMAKE_REQUIRED_FLAGS -Werror)
foreach(flag IN ITEMS
    -fstack-protector-all
    -fstack-clash-protection
    -fcf-protection
    -mbranch-protection=standard)
  string(MAKE_C_IDENTIFIER "ECHORUN_CXX_TAKES${flag}" takes)
  check_cxx_compiler_flag(${flag} ${takes})
  if(${takes})
    target_compile_options(echorun_hardening INTERFACE ${flag})
  endif()
endforeach()
target_link_options(echorun_hardening INTERFACE
  LINKER:-z,relro LINKER:-z,now LINKER:-z,noexecstack)
unset(CMAKE_REQUIRED_FLAGS)
unset(CMAKE_REQUIRED_QUIET)
