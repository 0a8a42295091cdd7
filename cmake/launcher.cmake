# SPDX-License-Identifier: MIT
# Which C library echorun links, and how.
#
#   ECHORUN_LIBC=auto   musl when it is installed for the target, else glibc
#   ECHORUN_LIBC=musl   musl, or a configure error that names the package
#   ECHORUN_LIBC=glibc  the system C library
#
# A launcher's cost is its start-up and its fork, and both grow with the
# pages the process has touched: a static PIE against musl touches about
# ten.  Only echorun is built against musl; the tests, the benchmark and
# GoogleTest keep the compiler's own C and C++ libraries.  musl is found by
# the target's multiarch triplet (x86_64-linux-gnu gives x86_64-linux-musl),
# so a cross build never picks up the host's musl.
#
# After this file: ECHORUN_LIBC_USED is musl or glibc, and
# echorun_add_launcher(TARGET LIBC STATIC) adds an echorun executable of
# that kind, all of them from one set of objects per C library.

set(ECHORUN_LIBC auto CACHE STRING "C library for echorun: auto, musl or glibc")
set_property(CACHE ECHORUN_LIBC PROPERTY STRINGS auto musl glibc)

# Debian's musl-dev: headers in /usr/include/TRIPLET, start files and libc.a
# in /usr/lib/TRIPLET.  Its musl-gcc specs have no rule for -static-pie, so
# the link names every start file itself, in the order the driver would:
# rcrt1.o crti.o crtbeginS.o OBJECTS libc.a libgcc.a crtendS.o crtn.o.
function(echorun_find_musl)
  set(echorun_musl_found FALSE PARENT_SCOPE)
  string(REPLACE "-linux-gnu" "-linux-musl" triplet
    "${CMAKE_LIBRARY_ARCHITECTURE}")
  set(echorun_musl_triplet "${triplet}" PARENT_SCOPE)
  if(NOT triplet MATCHES "-linux-musl")
    return()
  endif()
  set(lib /usr/lib/${triplet})
  foreach(file IN ITEMS ${lib}/rcrt1.o ${lib}/crti.o ${lib}/crtn.o
      ${lib}/libc.a /usr/include/${triplet}/stdio.h)
    if(NOT EXISTS ${file})
      return()
    endif()
  endforeach()
  # The compiler's own pieces, which musl does not provide.
  foreach(piece IN ITEMS crtbeginS.o crtendS.o libgcc.a)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${piece}
      OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
      return()
    endif()
    string(REPLACE "." "_" name ${piece})
    set(${name} ${path})
  endforeach()
  set(echorun_musl_found TRUE PARENT_SCOPE)
  set(echorun_musl_compile_flags -nostdinc -nostdinc++
    -isystem /usr/include/${triplet} PARENT_SCOPE)
  set(echorun_musl_link_head -nostdlib -nostartfiles
    ${lib}/rcrt1.o ${lib}/crti.o ${crtbeginS_o} PARENT_SCOPE)
  set(echorun_musl_link_tail
    ${lib}/libc.a ${libgcc_a} ${crtendS_o} ${lib}/crtn.o PARENT_SCOPE)
endfunction()

echorun_find_musl()
set(echorun_glibc_compile_flags "")
set(echorun_glibc_link_head "")
set(echorun_glibc_link_tail "")

if(ECHORUN_LIBC STREQUAL "musl")
  if(NOT ECHORUN_STATIC)
    message(FATAL_ERROR "ECHORUN_LIBC=musl builds a static echorun: "
      "drop -DECHORUN_STATIC=OFF, or use ECHORUN_LIBC=glibc")
  endif()
  if(NOT echorun_musl_found)
    message(FATAL_ERROR "ECHORUN_LIBC=musl: no musl for "
      "${echorun_musl_triplet} (Debian: apt-get install musl-dev), "
      "or configure with -DECHORUN_LIBC=glibc")
  endif()
  set(ECHORUN_LIBC_USED musl)
elseif(ECHORUN_LIBC STREQUAL "glibc")
  set(ECHORUN_LIBC_USED glibc)
elseif(ECHORUN_LIBC STREQUAL "auto")
  if(ECHORUN_STATIC AND echorun_musl_found)
    set(ECHORUN_LIBC_USED musl)
  else()
    set(ECHORUN_LIBC_USED glibc)
    if(ECHORUN_STATIC)
      message(STATUS "echorun: no musl for ${echorun_musl_triplet}, so "
        "echorun links glibc statically; for the smaller, faster musl "
        "build: apt-get install musl-dev")
    endif()
  endif()
else()
  message(FATAL_ERROR "ECHORUN_LIBC is '${ECHORUN_LIBC}': use auto, musl or glibc")
endif()
if(ECHORUN_STATIC)
  message(STATUS "echorun: ${ECHORUN_LIBC_USED}, static")
else()
  message(STATUS "echorun: ${ECHORUN_LIBC_USED}, dynamic")
endif()

# Checked C library calls, where the build flags (or the compiler, as some
# distributions configure it) do not choose a level already: defining it
# twice is an error under -Werror.  They need the optimiser; glibc quietly
# drops them without it.
include(CheckCXXSourceCompiles)
string(TOUPPER "${CMAKE_BUILD_TYPE}" build_type)
set(CMAKE_REQUIRED_FLAGS "${CMAKE_CXX_FLAGS_${build_type}}")
check_cxx_source_compiles([[
#ifdef _FORTIFY_SOURCE
#error the build flags set _FORTIFY_SOURCE
#endif
int main() { return 0; }]] ECHORUN_FORTIFY_UNSET)
unset(CMAKE_REQUIRED_FLAGS)

# Packed relative relocations take about a tenth off a static PIE's start-up,
# where they work: musl 1.2.3 links them and then crashes at start, some
# linkers ignore the flag with a warning, glibc before 2.36 cannot apply
# them.  So a probe is linked with linker warnings fatal (made so before
# the flag, which is judged as the command line is read), and run.  A cross
# build without an emulator cannot run it and goes without.
function(echorun_check_packed_relocs libc)
  set(result ECHORUN_PACKED_RELOCS_${libc})
  if(DEFINED CACHE{${result}})
    return()
  endif()
  set(works OFF)
  if(NOT CMAKE_CROSSCOMPILING OR CMAKE_CROSSCOMPILING_EMULATOR)
    try_run(ran linked ${PROJECT_BINARY_DIR}/CMakeFiles/packed-relocs-${libc}
      ${PROJECT_SOURCE_DIR}/cmake/relocs_probe.cpp
      COMPILE_DEFINITIONS -fPIE ${echorun_${libc}_compile_flags}
      LINK_OPTIONS -static-pie ${echorun_${libc}_link_head}
        LINKER:--fatal-warnings LINKER:-z,pack-relative-relocs
      LINK_LIBRARIES ${echorun_${libc}_link_tail})
    if(linked AND ran EQUAL 0)
      set(works ON)
    endif()
  endif()
  message(STATUS "echorun: packed relative relocations with ${libc}: ${works}")
  set(${result} ${works} CACHE INTERNAL "")
endfunction()

# echorun's two sources, compiled once per C library.  The launcher uses the
# C library only: no exceptions, no RTTI, no C++ runtime.  The stack
# protector guards every function, not only those with arrays: echorun's one
# array lives in a function that never returns, where clang emits no check
# at all, and a guard in main and run_command costs a few instructions.
function(echorun_objects libc)
  set(objects echorun_objects_${libc})
  if(TARGET ${objects})
    return()
  endif()
  add_library(${objects} OBJECT
    ${PROJECT_SOURCE_DIR}/src/main.cpp ${PROJECT_SOURCE_DIR}/src/run_command.cpp)
  target_link_libraries(${objects} PRIVATE echorun_options)
  target_compile_options(${objects} PRIVATE -fno-exceptions -fno-rtti
    -fstack-protector-all ${echorun_${libc}_compile_flags})
  if(libc STREQUAL "glibc" AND ECHORUN_FORTIFY_UNSET)
    target_compile_definitions(${objects} PRIVATE
      $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
  endif()
endfunction()

# Hardening in every configuration: position independence (from
# echorun_options), full RELRO with immediate binding, a non-executable
# stack, and the stack protector above.
function(echorun_add_launcher target libc static)
  echorun_objects(${libc})
  add_executable(${target} $<TARGET_OBJECTS:echorun_objects_${libc}>)
  # The binaries sit at the top of the build tree, where the README runs
  # them.
  set_target_properties(${target} PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
  target_link_libraries(${target} PRIVATE echorun_options)
  target_link_options(${target} PRIVATE
    LINKER:-z,relro LINKER:-z,now LINKER:-z,noexecstack)
  if(static)
    # No dynamic loader and no shared library: most of a launcher's
    # start-up cost gone.  -static-pie is the whole of the link mode, so
    # the -pie that POSITION_INDEPENDENT_CODE would add, and that undoes
    # it, is left out; the objects are position independent already.
    set_property(TARGET ${target} PROPERTY POSITION_INDEPENDENT_CODE)
    echorun_check_packed_relocs(${libc})
    target_link_options(${target} PRIVATE -static-pie
      ${echorun_${libc}_link_head})
    if(ECHORUN_PACKED_RELOCS_${libc})
      target_link_options(${target} PRIVATE LINKER:-z,pack-relative-relocs)
    endif()
    target_link_libraries(${target} PRIVATE ${echorun_${libc}_link_tail})
  else()
    # The C++ runtime that the compiler driver adds is never needed, so it
    # is never loaded.
    target_link_options(${target} PRIVATE LINKER:--as-needed)
  endif()
endfunction()
