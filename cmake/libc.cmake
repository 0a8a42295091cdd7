# SPDX-License-Identifier: MIT
# Which build of echorun this tree makes: its C library and how it links.
#
#   auto           the fastest of the three below that links and runs here
#   musl-static    musl, a static PIE: about ten pages to start and fork
#   glibc-static   glibc, a static PIE (libc6-dev; Fedora: glibc-static)
#   glibc-dynamic  glibc, a dynamic PIE: what a distribution ships
#   musl-dynamic   where the compiler's own C library is musl
#
# Whether a static build links and runs is found by linking
# cmake/static_probe.cpp as echorun would be and running it (under the
# emulator in a cross build), never from the machine's name.  Only echorun
# is built against musl; the tests and the benchmark keep the compiler's
# own libraries.  Each function returns what it decides in variables its
# caller names.  Once included, the file has found ECHORUN_SYSTEM_LIBC (the
# compiler's own C library), ECHORUN_MUSL_NAME (musl's name for the
# target) and, where musl is beside it, ECHORUN_MUSL_INCLUDE and
# ECHORUN_MUSL_LIBDIR, which echorun_build_options reads.

# The compiler's own C library, and musl's name for the target (what
# Debian's musl-dev installs under): the compiler's triplet without vendor,
# i386 for any x86-32, arm for any ARM, and the ABI's gnu made musl, as
# x86_64-linux-gnu gives x86_64-linux-musl, arm-linux-gnueabihf
# arm-linux-musleabihf and mips64el-linux-gnuabi64 mips64el-linux-musl.
function(echorun_libc_target libc_out musl_name_out)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles("#include <stdio.h>
#ifndef __GLIBC__
#error not glibc
#endif
int main() { return 0; }" ECHORUN_CXX_GLIBC)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
    OUTPUT_VARIABLE machine OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  set(libc glibc)
  if(NOT ECHORUN_CXX_GLIBC)
    set(libc musl)
  endif()
  string(REGEX REPLACE "^([^-]+)-(.+-)?linux-(gnu|musl)(abi64)?" "\\1-linux-musl" name "${machine}")
  string(REGEX REPLACE "^i[3-6]86-" "i386-" name "${name}")
  string(REGEX REPLACE "^armv[0-9a-z]*-" "arm-" name "${name}")
  set(${libc_out} ${libc} PARENT_SCOPE)
  set(${musl_name_out} ${name} PARENT_SCOPE)
endfunction()

# Where musl for the target is: Debian's multiarch musl-dev (headers in
# /usr/include/NAME, libc.a and start files in /usr/lib/NAME), else the
# directories named by the specs file of a musl-gcc wrapper on the PATH
# (Fedora's and Arch's musl; a cross build takes only its target's).
# Empty when there is none.
function(echorun_find_musl name include_out lib_out)
  set(include /usr/include/${name})
  set(lib /usr/lib/${name})
  set(names ${name}-gcc)
  if(NOT CMAKE_CROSSCOMPILING)
    list(APPEND names musl-gcc)
  endif()
  find_program(ECHORUN_MUSL_GCC NAMES ${names} DOC "A musl-gcc wrapper, whose specs name musl")
  if(NOT EXISTS ${lib}/libc.a AND ECHORUN_MUSL_GCC)
    file(READ ${ECHORUN_MUSL_GCC} script LIMIT 4096)
    if(script MATCHES "-specs[ =]\"?([^\" \n]+)" AND EXISTS "${CMAKE_MATCH_1}")
      file(READ ${CMAKE_MATCH_1} specs)
      string(REGEX MATCH "-isystem ([^ \n]+)" unused "${specs}")
      set(include ${CMAKE_MATCH_1})
      string(REGEX MATCH "-L([^ \n]+)" unused "${specs}")
      set(lib ${CMAKE_MATCH_1})
    endif()
  endif()
  if(NOT EXISTS "${include}/stdio.h" OR NOT EXISTS "${lib}/libc.a")
    set(include "")
    set(lib "")
  endif()
  set(${include_out} "${include}" PARENT_SCOPE)
  set(${lib_out} "${lib}" PARENT_SCOPE)
endfunction()

# The compile options, link options and link libraries of BUILD.  A musl
# beside the compiler's C library is built against its headers alone and
# linked with every start file named, since the driver knows only its own;
# the linker is then asked for the static PIE directly, as the drivers of
# Debian's arm and mips64el compilers spell -static-pie with a loader.
# Grouping libc.a with libgcc.a lets each resolve the other (on arm,
# libgcc's division by zero calls raise).
function(echorun_build_options build compile_out link_out libs_out)
  set(compile -fPIE)
  set(link -static-pie)
  set(libs "")
  if(build MATCHES "dynamic")
    set(link -pie LINKER:--as-needed)
  elseif(build STREQUAL "musl-static" AND ECHORUN_MUSL_LIBDIR)
    set(lib ${ECHORUN_MUSL_LIBDIR})
    foreach(piece IN ITEMS crtbeginS.o crtendS.o libgcc.a)
      execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${piece}
        OUTPUT_VARIABLE ${piece} OUTPUT_STRIP_TRAILING_WHITESPACE)
    endforeach()
    list(APPEND compile -nostdinc -nostdinc++ -isystem ${ECHORUN_MUSL_INCLUDE})
    set(link -static LINKER:-pie,--no-dynamic-linker,-z,text -nostdlib -nostartfiles
      ${lib}/rcrt1.o ${lib}/crti.o ${crtbeginS.o})
    set(libs -Wl,--start-group ${lib}/libc.a ${libgcc.a} -Wl,--end-group
      ${crtendS.o} ${lib}/crtn.o)
  endif()
  set(${compile_out} ${compile} PARENT_SCOPE)
  set(${link_out} ${link} PARENT_SCOPE)
  set(${libs_out} ${libs} PARENT_SCOPE)
endfunction()

# Links and runs the probe as BUILD; OUT is empty when that worked, else
# why not.  A cross build with no emulator takes a link for a yes.
function(echorun_probe build out)
  set(dir ${PROJECT_BINARY_DIR}/CMakeFiles/echorun-probes/${build})
  echorun_build_options(${build} compile link libs)
  try_compile(linked ${dir} ${PROJECT_SOURCE_DIR}/cmake/static_probe.cpp
    COMPILE_DEFINITIONS -fno-exceptions -fno-rtti ${compile}
    LINK_OPTIONS ${link} LINK_LIBRARIES ${libs}
    COPY_FILE ${dir}/probe OUTPUT_VARIABLE log)
  file(WRITE ${dir}/output.txt "${log}")
  set(status 0)
  if(linked AND (CMAKE_CROSSCOMPILING_EMULATOR OR NOT CMAKE_CROSSCOMPILING))
    execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} ${dir}/probe
      RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
  endif()
  set(${out} "" PARENT_SCOPE)
  if(NOT linked OR NOT status STREQUAL "0")
    set(${out} "does not link a static PIE that runs here (see ${dir}/output.txt)"
      PARENT_SCOPE)
  endif()
endfunction()

# Of BUILDS, those that this machine can make, fastest first, in CAN; for
# each of the others, "BUILD: why not, and what to install" in WHY.
function(echorun_probe_builds can_out why_out)
  set(can "")
  set(why "")
  set(musl musl-dev)
  if(CMAKE_CROSSCOMPILING)
    set(musl musl-dev:${ECHORUN_ARCH})
  endif()
  foreach(build IN ITEMS musl-static glibc-static glibc-dynamic musl-dynamic)
    string(REGEX REPLACE "-.*" "" libc ${build})
    set(problem "")
    if(NOT build IN_LIST ARGN)
      continue()
    elseif(NOT libc STREQUAL ECHORUN_SYSTEM_LIBC AND NOT build STREQUAL "musl-static")
      set(problem "the compiler's own C library is ${ECHORUN_SYSTEM_LIBC}")
    elseif(NOT libc STREQUAL ECHORUN_SYSTEM_LIBC AND NOT ECHORUN_MUSL_LIBDIR)
      set(problem "no musl for ${ECHORUN_MUSL_NAME} was found: install musl (Debian: \
apt-get install ${musl})")
    elseif(build MATCHES "static")
      echorun_probe(${build} problem)
      if(problem AND libc STREQUAL "glibc")
        set(problem "glibc ${problem}: install glibc's static library (Debian: apt-get \
install libc6-dev; Fedora: dnf install glibc-static)")
      elseif(problem)
        set(problem "musl ${ECHORUN_MUSL_LIBDIR} ${problem}")
      endif()
    endif()
    if(problem)
      list(APPEND why "${build}: ${problem}")
    else()
      list(APPEND can ${build})
    endif()
  endforeach()
  set(${can_out} ${can} PARENT_SCOPE)
  set(${why_out} ${why} PARENT_SCOPE)
endfunction()

# The build to make for WANT (an ECHORUN_BUILD value) and SANITIZE, of
# those in CAN, in OUT; or, when there is none, in ERROR the reason.
function(echorun_choose_build out error want sanitize can why)
  set(${out} "" PARENT_SCOPE)
  set(known auto musl-static glibc-static glibc-dynamic musl-dynamic)
  if(NOT want IN_LIST known)
    list(JOIN known ", " known)
    set(${error} "ECHORUN_BUILD is '${want}': use one of ${known}" PARENT_SCOPE)
    return()
  endif()
  # The sanitizers' runtimes are shared libraries of glibc's.
  if(sanitize AND want MATCHES "^(auto|glibc-dynamic)$")
    set(want glibc-dynamic)
  elseif(sanitize)
    set(${error} "ECHORUN_SANITIZE needs -DECHORUN_BUILD=glibc-dynamic" PARENT_SCOPE)
    return()
  endif()
  if(want STREQUAL "auto")
    list(GET can 0 want)
  endif()
  set(${error} "" PARENT_SCOPE)
  if(want IN_LIST can)
    set(${out} ${want} PARENT_SCOPE)
    return()
  endif()
  list(FILTER why INCLUDE REGEX "^${want}: ")
  set(${error} "ECHORUN_BUILD=${why}, or configure with -DECHORUN_BUILD=auto" PARENT_SCOPE)
endfunction()

# The line that says which build was chosen and how to get the fastest.
function(echorun_build_line out build sanitize can why)
  set(hint "the fastest build")
  list(FILTER why INCLUDE REGEX "^musl-static: ")
  if(sanitize)
    set(hint "as the sanitizers need")
  elseif(NOT build STREQUAL "musl-static" AND "musl-static" IN_LIST can)
    set(hint "musl-static starts faster: -DECHORUN_BUILD=auto")
  elseif(why)
    string(REGEX REPLACE "^musl-static: " "" why "${why}")
    set(hint "musl-static starts faster, but ${why}")
  endif()
  set(${out} "echorun: ${build}; ${hint}" PARENT_SCOPE)
endfunction()

# A script (cmake -P) that includes this file takes the functions alone.
if(CMAKE_SCRIPT_MODE_FILE)
  return()
endif()

set(ECHORUN_BUILD auto CACHE STRING
  "Build of echorun: auto, musl-static, glibc-static, glibc-dynamic or musl-dynamic")
set_property(CACHE ECHORUN_BUILD PROPERTY STRINGS
  auto musl-static glibc-static glibc-dynamic musl-dynamic)
echorun_libc_target(ECHORUN_SYSTEM_LIBC ECHORUN_MUSL_NAME)
if(NOT ECHORUN_SYSTEM_LIBC STREQUAL "musl")
  echorun_find_musl(${ECHORUN_MUSL_NAME} ECHORUN_MUSL_INCLUDE ECHORUN_MUSL_LIBDIR)
endif()
