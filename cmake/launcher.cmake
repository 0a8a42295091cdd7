# SPDX-License-Identifier: MIT
# Which C library echorun links, and how.
#
#   ECHORUN_LIBC=auto   the fastest build that links and runs here
#   ECHORUN_LIBC=musl   musl, or a configure error that names the package
#   ECHORUN_LIBC=glibc  the compiler's own glibc
#   ECHORUN_STATIC=auto static where that links as a static PIE,
#                       ON static or a configure error, OFF dynamic
#
# A launcher's cost is its start-up and its fork, and both grow with the
# pages the process has touched: a static PIE against musl touches about
# ten, glibc's static start-up many more, its dynamic loader more again.
# So auto takes, of what its probes (cmake/libc_probe.cmake) can link and
# run: musl static, glibc as a static PIE, then the dynamic PIE.  Only
# echorun is built against musl; the tests, the benchmark and GoogleTest
# keep the compiler's own C and C++ libraries.
#
# After this file: ECHORUN_LIBC_USED is the C library of the installed
# echorun, ECHORUN_STATIC is ON or OFF as decided, and
# echorun_add_launcher(TARGET LIBC STATIC) adds an echorun executable of
# that kind, from one set of objects per C library and code model
# (echorun_objects_name says which).

include(${CMAKE_CURRENT_LIST_DIR}/libc_probe.cmake)

# What to install for the faster builds, as the one line and the errors
# say it.
function(echorun_install_hints)
  if(CMAKE_CROSSCOMPILING)
    string(CONCAT musl "install musl for ${echorun_musl_name} "
      "(Debian: apt-get install musl-dev:ARCH, ARCH the target's architecture)")
  else()
    set(musl "install musl (Debian: apt-get install musl-dev)")
  endif()
  set(echorun_install_musl "${musl}" PARENT_SCOPE)
  set(echorun_install_libc_a "install glibc's static library (Debian: \
apt-get install libc6-dev; Fedora: dnf install glibc-static)" PARENT_SCOPE)
endfunction()

# musl: static, and dynamic only where it is the compiler's own.
function(echorun_choose_musl want_static)
  echorun_install_hints()
  if(NOT "musl" IN_LIST echorun_libcs)
    message(FATAL_ERROR "ECHORUN_LIBC=musl: no musl for ${echorun_musl_name} "
      "was found: ${echorun_install_musl}, or configure with -DECHORUN_LIBC=auto")
  endif()
  if(want_static STREQUAL "OFF")
    if(NOT echorun_libc_system STREQUAL "musl")
      message(FATAL_ERROR "ECHORUN_LIBC=musl builds a static echorun: "
        "drop -DECHORUN_STATIC=OFF, or use ECHORUN_LIBC=glibc")
    endif()
    set(echorun_choice musl OFF PARENT_SCOPE)
  elseif(ECHORUN_STATIC_MODE_musl)
    set(echorun_choice musl ON PARENT_SCOPE)
  else()
    message(FATAL_ERROR "ECHORUN_LIBC=musl: musl in ${echorun_musl_libdir} "
      "does not link a static program that runs with ${CMAKE_CXX_COMPILER} "
      "(see ${PROJECT_BINARY_DIR}/CMakeFiles/echorun-probes)")
  endif()
endfunction()

# The compiler's own C library: static when asked to and it links, or on
# auto when it links as a static PIE; dynamic otherwise.
function(echorun_choose_system want_static)
  echorun_install_hints()
  set(libc ${echorun_libc_system})
  set(mode "")
  if(NOT want_static STREQUAL "OFF")
    echorun_static_link(${libc})
    set(mode "${ECHORUN_STATIC_MODE_${libc}}")
  endif()
  if(want_static STREQUAL "ON" AND NOT mode)
    message(FATAL_ERROR "ECHORUN_STATIC=ON: ${libc} does not link a static "
      "program that runs here: ${echorun_install_libc_a}, "
      "or ${echorun_install_musl}; or configure with -DECHORUN_STATIC=OFF")
  endif()
  if(mode STREQUAL "static" AND want_static STREQUAL "auto")
    set(mode "")
  endif()
  if(mode)
    set(echorun_choice ${libc} ON PARENT_SCOPE)
  else()
    set(echorun_choice ${libc} OFF PARENT_SCOPE)
  endif()
endfunction()

# From ECHORUN_LIBC, ECHORUN_STATIC and ECHORUN_SANITIZE, and the probes:
# ECHORUN_LIBC_USED, and ECHORUN_STATIC as ON or OFF.
function(echorun_choose)
  if(NOT ECHORUN_LIBC MATCHES "^(auto|musl|glibc)$")
    message(FATAL_ERROR "ECHORUN_LIBC is '${ECHORUN_LIBC}': use auto, musl or glibc")
  endif()
  string(TOUPPER "${ECHORUN_STATIC}" static)
  if(static STREQUAL "AUTO" OR static STREQUAL "")
    set(want_static auto)
  elseif(NOT static MATCHES "^(ON|OFF|1|0|TRUE|FALSE|YES|NO)$")
    message(FATAL_ERROR "ECHORUN_STATIC is '${ECHORUN_STATIC}': use auto, ON or OFF")
  elseif(ECHORUN_STATIC)
    set(want_static ON)
  else()
    set(want_static OFF)
  endif()
  # The sanitizers' runtimes are shared libraries of glibc's.
  if(ECHORUN_SANITIZE)
    if(want_static STREQUAL "ON" OR ECHORUN_LIBC STREQUAL "musl")
      message(FATAL_ERROR "ECHORUN_SANITIZE needs the dynamic glibc build: "
        "configure with -DECHORUN_STATIC=OFF -DECHORUN_LIBC=glibc")
    endif()
    set(want_static OFF)
  endif()
  # Each C library's static link is probed only when a choice needs it.
  if(NOT want_static STREQUAL "OFF" AND "musl" IN_LIST echorun_libcs)
    echorun_static_link(musl)
  endif()

  if(ECHORUN_LIBC STREQUAL "musl")
    echorun_choose_musl(${want_static})
  elseif(ECHORUN_LIBC STREQUAL "glibc")
    if(NOT echorun_libc_system STREQUAL "glibc")
      message(FATAL_ERROR "ECHORUN_LIBC=glibc: ${CMAKE_CXX_COMPILER}'s C "
        "library is ${echorun_libc_system}, not glibc; use ECHORUN_LIBC=auto")
    endif()
    echorun_choose_system(${want_static})
  elseif(ECHORUN_STATIC_MODE_musl MATCHES "pie" AND want_static STREQUAL "auto"
      OR ECHORUN_STATIC_MODE_musl AND want_static STREQUAL "ON")
    set(echorun_choice musl ON)
  else()
    echorun_choose_system(${want_static})
  endif()
  list(GET echorun_choice 0 libc)
  list(GET echorun_choice 1 static)
  set(ECHORUN_LIBC_USED ${libc} PARENT_SCOPE)
  set(ECHORUN_STATIC ${static} PARENT_SCOPE)
endfunction()

# The one line that says what was chosen and, where it is not the fastest
# build, how to get that.
function(echorun_report out)
  echorun_install_hints()
  set(libc ${ECHORUN_LIBC_USED})
  if(NOT ECHORUN_STATIC)
    set(kind "dynamic PIE")
  elseif(ECHORUN_STATIC_MODE_${libc} STREQUAL "static")
    set(kind "static, not PIE")
  else()
    set(kind "static PIE")
  endif()
  if(ECHORUN_STATIC AND ECHORUN_PACKED_RELOCS_${libc})
    string(APPEND kind " with packed relocations")
  endif()
  # Whether musl links statically is unknown when nothing static was
  # probed; found is then taken for yes.
  if(DEFINED ECHORUN_STATIC_MODE_musl)
    set(musl_links "${ECHORUN_STATIC_MODE_musl}")
  elseif("musl" IN_LIST echorun_libcs)
    set(musl_links yes)
  endif()
  if(libc STREQUAL "musl" AND ECHORUN_STATIC)
    set(hint "the fastest build")
  elseif(ECHORUN_SANITIZE)
    set(hint "as the sanitizers need")
  elseif(musl_links)
    set(hint "musl static starts faster: -DECHORUN_LIBC=auto -DECHORUN_STATIC=auto")
  elseif("musl" IN_LIST echorun_libcs)
    string(CONCAT hint "musl in ${echorun_musl_libdir} does not link a "
      "static program that runs (see ${PROJECT_BINARY_DIR}/CMakeFiles/echorun-probes)")
  else()
    set(hint "musl static starts faster: ${echorun_install_musl}")
  endif()
  set(${out} "echorun: ${libc}, ${kind}; ${hint}" PARENT_SCOPE)
endfunction()

# The object library a build of echorun against LIBC is linked from: one
# per C library, and a second one without position independence where
# LIBC links statically only at a fixed address.
function(echorun_objects_name libc static out)
  if(static AND ECHORUN_STATIC_MODE_${libc} STREQUAL "static")
    set(${out} echorun_objects_${libc}_nopie PARENT_SCOPE)
  else()
    set(${out} echorun_objects_${libc} PARENT_SCOPE)
  endif()
endfunction()

# echorun's two sources, compiled once per object library.  The launcher
# uses the C library only: no exceptions, no RTTI, no C++ runtime.  The
# stack protector guards every function, not only those with arrays:
# echorun's one array lives in a function that never returns, where clang
# emits no check at all, and a guard in main and run_command costs a few
# instructions.  The rest of its hardening is echorun_hardening's.
function(echorun_objects libc static)
  echorun_objects_name(${libc} ${static} objects)
  if(TARGET ${objects})
    return()
  endif()
  add_library(${objects} OBJECT
    ${PROJECT_SOURCE_DIR}/src/main.cpp ${PROJECT_SOURCE_DIR}/src/run_command.cpp)
  target_link_libraries(${objects} PRIVATE echorun_options echorun_hardening)
  target_compile_options(${objects} PRIVATE -fno-exceptions -fno-rtti
    -fstack-protector-all ${echorun_${libc}_compile_flags})
  if(objects MATCHES "_nopie$")
    set_property(TARGET ${objects} PROPERTY POSITION_INDEPENDENT_CODE OFF)
    target_compile_options(${objects} PRIVATE -fno-pie)
  endif()
  if(libc STREQUAL "glibc" AND ECHORUN_FORTIFY_UNSET)
    target_compile_definitions(${objects} PRIVATE
      $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=${echorun_fortify_level}>)
  endif()
endfunction()

# Hardening in every configuration: position independence where the link
# allows it, full RELRO with immediate binding, a non-executable stack,
# and the objects' own above.
function(echorun_add_launcher target libc static)
  echorun_objects(${libc} ${static})
  echorun_objects_name(${libc} ${static} objects)
  add_executable(${target} $<TARGET_OBJECTS:${objects}>)
  # The binaries sit at the top of the build tree, where the README runs
  # them.
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
  target_link_libraries(${target} PRIVATE echorun_options)
  target_link_options(${target} PRIVATE
    LINKER:-z,relro LINKER:-z,now LINKER:-z,noexecstack)
  if(static)
    # No dynamic loader and no shared library: most of a launcher's
    # start-up cost gone.  The link mode is all in the options the probe
    # chose, so the -pie or -no-pie that POSITION_INDEPENDENT_CODE would
    # add, and that could undo it, is left out.
    set(mode ${ECHORUN_STATIC_MODE_${libc}})
    set_property(TARGET ${target} PROPERTY POSITION_INDEPENDENT_CODE)
    echorun_static_link_line(${libc} ${mode} ${ECHORUN_STATIC_GROUP_${libc}})
    target_link_options(${target} PRIVATE ${echorun_link_head})
    if(ECHORUN_PACKED_RELOCS_${libc})
      target_link_options(${target} PRIVATE LINKER:-z,pack-relative-relocs)
    endif()
    target_link_libraries(${target} PRIVATE ${echorun_link_tail})
  else()
    # The C++ runtime that the compiler driver adds is never needed, so it
    # is never loaded.
    target_link_options(${target} PRIVATE LINKER:--as-needed)
  endif()
endfunction()

# What follows configures the build; a script (cmake -P) that includes this
# file takes the functions alone.
if(CMAKE_SCRIPT_MODE_FILE)
  return()
endif()

set(ECHORUN_LIBC auto CACHE STRING "C library for echorun: auto, musl or glibc")
set_property(CACHE ECHORUN_LIBC PROPERTY STRINGS auto musl glibc)
set(ECHORUN_STATIC auto CACHE STRING
  "Link echorun statically: auto (where it links and is faster), ON or OFF")
set_property(CACHE ECHORUN_STATIC PROPERTY STRINGS auto ON OFF)
echorun_choose()
echorun_report(echorun_line)
message(STATUS "${echorun_line}")

# Checked C library calls, where the build flags (or the compiler, as some
# distributions configure it) do not choose a level already: defining it
# twice is an error under -Werror.  They need the optimiser; glibc quietly
# drops them without it.  Level 3 checks sizes known only at run time too,
# where glibc and the compiler both can.
string(TOUPPER "${CMAKE_BUILD_TYPE}" echorun_build_type)
string(SHA1 echorun_fortify_key
  "${CMAKE_CXX_COMPILER};${CMAKE_CXX_FLAGS};${CMAKE_CXX_FLAGS_${echorun_build_type}}")
if(NOT echorun_fortify_key STREQUAL "${ECHORUN_FORTIFY_KEY}")
  unset(ECHORUN_FORTIFY_UNSET CACHE)
  unset(ECHORUN_FORTIFY_3 CACHE)
  set(ECHORUN_FORTIFY_KEY ${echorun_fortify_key} CACHE INTERNAL
    "The compiler and flags the fortify checks were made with")
endif()
set(CMAKE_REQUIRED_FLAGS "${CMAKE_CXX_FLAGS_${echorun_build_type}}")
set(CMAKE_REQUIRED_QUIET ON)
check_cxx_source_compiles([[
#ifdef _FORTIFY_SOURCE
#error the build flags set _FORTIFY_SOURCE
#endif
int main() { return 0; }]] ECHORUN_FORTIFY_UNSET)
if(ECHORUN_FORTIFY_UNSET AND echorun_libc_system STREQUAL "glibc")
  set(CMAKE_REQUIRED_DEFINITIONS -O2 -D_FORTIFY_SOURCE=3)
  check_cxx_source_compiles([[
#include <stdio.h>
#if !defined __USE_FORTIFY_LEVEL || __USE_FORTIFY_LEVEL < 3
#error no fortify level 3
#endif
int main() { return 0; }]] ECHORUN_FORTIFY_3)
  unset(CMAKE_REQUIRED_DEFINITIONS)
endif()
unset(CMAKE_REQUIRED_QUIET)
unset(CMAKE_REQUIRED_FLAGS)
if(ECHORUN_FORTIFY_3)
  set(echorun_fortify_level 3)
else()
  set(echorun_fortify_level 2)
endif()

# The probes' own faults.  Linked as a dynamic PIE, the static probe must
# refuse to pass (exit 2), or a driver that links a "static" PIE asking for
# a loader would go unnoticed.  What configure chooses from what the probes
# found, and musl's names for the targets, are tables in
# cmake/libc_probe_test.cmake.
if(BUILD_TESTING)
  add_executable(static_probe_dynamic cmake/static_probe.cpp)
  target_link_libraries(static_probe_dynamic PRIVATE echorun_options)
  target_compile_options(static_probe_dynamic PRIVATE -fno-exceptions -fno-rtti)
  add_test(NAME libc/probe-refuses-loader
    COMMAND sh -c [["$@"; test $? -eq 2]] check
      ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:static_probe_dynamic>)
  add_test(NAME libc/choice
    COMMAND ${CMAKE_COMMAND} -P ${PROJECT_SOURCE_DIR}/cmake/libc_probe_test.cmake)
endif()
