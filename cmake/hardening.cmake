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

# glibc's checked calls (an older glibc takes 3 for 2; musl has none;
# without optimisation they are not used), unless the build's flags set a
# level already (twice is an error under -Werror) or the compiler warns of
# it: probed at each configure, as flags change.
string(TOUPPER "${CMAKE_BUILD_TYPE}" type)
set(CMAKE_REQUIRED_FLAGS
  "${CMAKE_CXX_FLAGS_${type}} -Werror -D_FORTIFY_SOURCE=3")
unset(ECHORUN_FORTIFY CACHE)
check_cxx_source_compiles("#include <stdio.h>
int main() { return puts(\"\") < 0; }" ECHORUN_FORTIFY)
if(ECHORUN_FORTIFY)
  target_compile_definitions(echorun_hardening INTERFACE _FORTIFY_SOURCE=3)
endif()
unset(CMAKE_REQUIRED_FLAGS)
unset(CMAKE_REQUIRED_QUIET)
