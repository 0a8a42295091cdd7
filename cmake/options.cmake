# SPDX-License-Identifier: MIT
# The build options every target of the project shares, in one place:
# the language standard without compiler extensions, position independence,
# the warnings, and in the sanitized build the sanitizers; and the
# hardening of echorun's own objects, echorun_hardening.  Each target
# links echorun_options and adds only what is its own.

set(CMAKE_CXX_EXTENSIONS OFF)

# POSITION_INDEPENDENT_CODE gives the compiler -fPIE for executables'
# sources and -fPIC for object libraries (echorun's objects, whose code
# differs by a few bytes), and, once the linker is known to take it, -pie
# to every executable.
include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_library(echorun_options INTERFACE)
target_compile_features(echorun_options INTERFACE cxx_std_20)
target_compile_options(echorun_options INTERFACE
  -Wall -Wextra -Wpedantic -Wconversion -Wshadow)

# Any undefined behaviour ends the process rather than being reported and
# passed over.
if(ECHORUN_SANITIZE)
  target_compile_options(echorun_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer)
  target_link_options(echorun_options INTERFACE -fsanitize=address,undefined)
endif()

# Code generation that hardens echorun's own objects, in every build of it,
# as far as the compiler takes each flag: this is a probe of the compiler
# for the target, not a list per architecture.  Stack clash protection
# probes every page of a large stack frame (it changes the code on arm,
# mips64el and ppc64el, where frames are probed at all); -fcf-protection
# marks indirect branch targets and return addresses for x86's control-flow
# enforcement; -mbranch-protection=standard signs return addresses and marks
# branch targets on arm64.  Flags that leave these objects unchanged are not
# added.  Warnings are errors in the probe: clang takes the flags of other
# machines with a warning that the argument is unused.
include(CheckCXXCompilerFlag)
add_library(echorun_hardening INTERFACE)
set(CMAKE_REQUIRED_QUIET ON)
set(CMAKE_REQUIRED_FLAGS -Werror)
foreach(flag IN ITEMS -fstack-clash-protection -fcf-protection
    -mbranch-protection=standard)
  string(MAKE_C_IDENTIFIER "ECHORUN_CXX_TAKES${flag}" takes)
  check_cxx_compiler_flag(${flag} ${takes})
  if(${takes})
    target_compile_options(echorun_hardening INTERFACE ${flag})
  endif()
endforeach()
unset(CMAKE_REQUIRED_FLAGS)
unset(CMAKE_REQUIRED_QUIET)
