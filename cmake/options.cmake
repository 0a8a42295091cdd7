# SPDX-License-Identifier: MIT
# The build options every target of the project shares, in one place:
# the language standard without compiler extensions, position independence,
# the warnings, and in the sanitized build the sanitizers.  Each target
# links echorun_options and adds only what is its own.

set(CMAKE_CXX_EXTENSIONS OFF)

# POSITION_INDEPENDENT_CODE gives -fPIE to the compiler and, once the
# linker is known to take it, -pie to every executable.
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
