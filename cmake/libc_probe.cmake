# SPDX-License-Identifier: MIT
# Which C libraries the compiler can link echorun against, and how each one
# links statically: decided by compiling, linking and running probes, never
# by the machine's name.
#
# After this file:
#   echorun_libc_system    the compiler's own C library: glibc when its
#                          headers define __GLIBC__, musl when they do not
#                          and the compiler's -dumpmachine says musl, else
#                          libc
#   echorun_libcs          every C library found: the compiler's own, and
#                          musl installed for the target beside it
#   echorun_musl_name      musl's name for the target (x86_64-linux-musl)
#   echorun_<libc>_compile_flags, echorun_<libc>_libdir
#                          what echorun's objects need to build against it,
#                          and where its start files and libc.a are when
#                          echorun's link names them itself (empty: the
#                          compiler driver links it)
#   echorun_static_link(LIBC) probes, once per compiler and flags, how LIBC links a
#                          static echorun: ECHORUN_STATIC_MODE_<libc> is
#                          static-pie, static-pie-linker, static (not PIE)
#                          or empty; ECHORUN_STATIC_GROUP_<libc> says that
#                          libc.a and libgcc.a must be grouped;
#                          ECHORUN_PACKED_RELOCS_<libc> that packed relative
#                          relocations work
#   echorun_static_link_line(LIBC MODE GROUPED) sets echorun_link_head,
#                          echorun_link_tail and echorun_link_compile

include(CheckCXXSourceCompiles)

# The compiler as run for the target: clang may be told it by the
# toolchain.
set(echorun_cxx ${CMAKE_CXX_COMPILER})
if(CMAKE_CXX_COMPILER_TARGET)
  list(APPEND echorun_cxx --target=${CMAKE_CXX_COMPILER_TARGET})
endif()

# The target as the compiler names it, e.g. x86_64-linux-gnu or, from
# clang, x86_64-pc-linux-gnu.
function(echorun_dumpmachine out)
  execute_process(COMMAND ${echorun_cxx} -dumpmachine
    OUTPUT_VARIABLE machine OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  set(${out} "${machine}" PARENT_SCOPE)
endfunction()

# musl's name for the same target, under which Debian's musl-dev installs:
# no vendor, the architecture as musl spells it, and the ABI's gnu made
# musl, with 64-bit MIPS's default ABI unnamed.  x86_64-linux-gnu gives
# x86_64-linux-musl, i686-linux-gnu i386-linux-musl, arm-linux-gnueabihf
# arm-linux-musleabihf, mips64el-linux-gnuabi64 mips64el-linux-musl.
function(echorun_musl_name_of machine out)
  set(${out} "" PARENT_SCOPE)
  if(NOT machine MATCHES "^([^-]+)-(.+-)?linux-(gnu|musl)(.*)$")
    return()
  endif()
  set(arch ${CMAKE_MATCH_1})
  set(abi ${CMAKE_MATCH_4})
  if(arch MATCHES "^i[3-6]86$")
    set(arch i386)
  elseif(arch MATCHES "^armv[0-9]")
    set(arch arm)
  endif()
  if(abi STREQUAL "abi64")
    set(abi "")
  elseif(abi STREQUAL "abin32")
    set(abi n32)
  endif()
  set(${out} ${arch}-linux-musl${abi} PARENT_SCOPE)
endfunction()

# Where musl for the target is: Debian's multiarch musl-dev (headers in
# /usr/include/NAME, start files and libc.a in /usr/lib/NAME), else the
# directories that a musl-gcc wrapper's specs file names, for a musl
# installed elsewhere.  A cross build asks only for its target's name and
# never for the host's plain musl-gcc.  Whether what is found links is the
# probes' to say.
function(echorun_find_musl name)
  set(echorun_musl_libdir "" PARENT_SCOPE)
  if(EXISTS /usr/include/${name}/stdio.h AND EXISTS /usr/lib/${name}/libc.a)
    set(echorun_musl_include /usr/include/${name} PARENT_SCOPE)
    set(echorun_musl_libdir /usr/lib/${name} PARENT_SCOPE)
    return()
  endif()
  set(wrappers ${name}-gcc)
  if(NOT CMAKE_CROSSCOMPILING)
    list(APPEND wrappers musl-gcc)
  endif()
  foreach(wrapper IN LISTS wrappers)
    unset(wrapper_path)
    find_program(wrapper_path ${wrapper} NO_CACHE)
    if(NOT wrapper_path)
      continue()
    endif()
    # The wrapper runs gcc with -specs FILE; FILE adds musl's headers with
    # -isystem and its libraries with -L.
    file(READ ${wrapper_path} script LIMIT 4096)
    string(REGEX MATCH "-specs[ =]\"?([^\" \n]+)" specs "${script}")
    set(specs "${CMAKE_MATCH_1}")
    if(NOT specs OR NOT EXISTS "${specs}")
      continue()
    endif()
    file(READ ${specs} specs)
    string(REGEX MATCH "-isystem ([^ \n]+)" include "${specs}")
    set(include "${CMAKE_MATCH_1}")
    string(REGEX MATCH "-L([^ \n]+)" lib "${specs}")
    set(lib "${CMAKE_MATCH_1}")
    if(EXISTS "${include}/stdio.h" AND EXISTS "${lib}/libc.a")
      set(echorun_musl_include ${include} PARENT_SCOPE)
      set(echorun_musl_libdir ${lib} PARENT_SCOPE)
      return()
    endif()
  endforeach()
endfunction()

# The compiler's own pieces that a link naming its start files must add
# itself: crtbegin and crtend of either kind, and libgcc.
function(echorun_compiler_pieces)
  foreach(piece IN ITEMS crtbeginS.o crtendS.o crtbegin.o crtend.o libgcc.a)
    string(REPLACE "." "_" name echorun_${piece})
    execute_process(COMMAND ${echorun_cxx} -print-file-name=${piece}
      OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    set(${name} "${path}" PARENT_SCOPE)
  endforeach()
endfunction()

# The static link of echorun against LIBC.  MODE is one of
#   static-pie         the driver's -static-pie
#   static-pie-linker  the same asked of the linker directly, for drivers
#                      with no rule for -static-pie on the target: they
#                      link a PIE that names a dynamic loader
#   static             a static executable at a fixed address
# When echorun's link names LIBC's start files itself, it names them in
# the order the driver would; GROUPED lets libc.a and libgcc.a resolve each
# other (on arm, libgcc's division by zero calls raise).
function(echorun_static_link_line libc mode grouped)
  set(compile ${echorun_${libc}_compile_flags})
  if(mode STREQUAL "static-pie")
    set(head -static-pie)
  elseif(mode STREQUAL "static-pie-linker")
    set(head -static LINKER:-pie LINKER:--no-dynamic-linker LINKER:-z,text)
  else()
    set(head -static -no-pie)
  endif()
  if(mode STREQUAL "static")
    list(APPEND compile -fno-pie)
    set(crt1 crt1.o)
    set(kind "")
  else()
    list(APPEND compile -fPIE)
    set(crt1 rcrt1.o)
    set(kind S)
  endif()
  set(tail "")
  set(lib ${echorun_${libc}_libdir})
  if(lib)
    list(APPEND head -nostdlib -nostartfiles
      ${lib}/${crt1} ${lib}/crti.o ${echorun_crtbegin${kind}_o})
    set(libs ${lib}/libc.a ${echorun_libgcc_a})
    if(grouped)
      set(libs -Wl,--start-group ${libs} -Wl,--end-group)
    endif()
    set(tail ${libs} ${echorun_crtend${kind}_o} ${lib}/crtn.o)
  endif()
  set(echorun_link_head ${head} PARENT_SCOPE)
  set(echorun_link_tail ${tail} PARENT_SCOPE)
  set(echorun_link_compile ${compile} PARENT_SCOPE)
endfunction()

# Runs a linked probe where the build can run the target's programs, under
# CMAKE_CROSSCOMPILING_EMULATOR in a cross build.  Where it cannot, a
# static executable must at least ask for no dynamic loader.
function(echorun_run_probe file out)
  set(${out} FALSE PARENT_SCOPE)
  if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
    if(CMAKE_READELF)
      execute_process(COMMAND ${CMAKE_READELF} -lW ${file}
        OUTPUT_VARIABLE headers RESULT_VARIABLE failed ERROR_QUIET)
      if(failed OR headers MATCHES "INTERP")
        return()
      endif()
    endif()
    set(${out} TRUE PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} ${file}
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
  if(status STREQUAL "0")
    set(${out} TRUE PARENT_SCOPE)
  endif()
endfunction()

# One probe: link cmake/static_probe.cpp as echorun would be linked, with
# the link options after OUT (the packed relocations') added, and run it.
# OUT is ok, link (it did not link) or run (it linked, but did not start
# as a static executable should).  The compiler's output of a failed link
# stays in the probe's directory.
function(echorun_probe_static libc mode grouped out)
  echorun_static_link_line(${libc} ${mode} ${grouped})
  set(name ${libc}-${mode})
  if(grouped)
    string(APPEND name "-grouped")
  endif()
  if(ARGN)
    string(APPEND name "-packed")
  endif()
  set(dir ${PROJECT_BINARY_DIR}/CMakeFiles/echorun-probes/${name})
  # The link mode is all in the options: the -pie that try_compile would
  # add for position-independent code undoes -static-pie.
  unset(CMAKE_POSITION_INDEPENDENT_CODE)
  set(CMAKE_TRY_COMPILE_TARGET_TYPE EXECUTABLE)
  try_compile(linked ${dir} ${PROJECT_SOURCE_DIR}/cmake/static_probe.cpp
    COMPILE_DEFINITIONS -fno-exceptions -fno-rtti ${echorun_link_compile}
    LINK_OPTIONS ${echorun_link_head} ${ARGN}
    LINK_LIBRARIES ${echorun_link_tail}
    COPY_FILE ${dir}/probe
    OUTPUT_VARIABLE log)
  set(outcome ok)
  if(NOT linked)
    file(WRITE ${dir}/output.txt "${log}")
    set(outcome link)
  else()
    echorun_run_probe(${dir}/probe ran)
    if(NOT ran)
      set(outcome run)
    endif()
  endif()
  message(VERBOSE "echorun: probe ${name}: ${outcome}")
  set(${out} ${outcome} PARENT_SCOPE)
endfunction()

# The first static link of LIBC that links and runs: a static PIE as the
# driver spells it, then as the linker does (only where echorun names the
# start files, which the driver would choose wrong), then a static
# executable at a fixed address.  The plain order of the archives is tried
# before the grouped one, and not again once only the grouped one linked.
function(echorun_static_link libc)
  # Probed again when what the link depends on changes, or when it found
  # nothing: the user may have installed what was missing since.
  string(SHA1 key "${echorun_cxx};${CMAKE_CXX_FLAGS};${CMAKE_EXE_LINKER_FLAGS};${echorun_${libc}_libdir};${CMAKE_CROSSCOMPILING_EMULATOR}")
  if(ECHORUN_STATIC_MODE_${libc} AND "${ECHORUN_STATIC_KEY_${libc}}" STREQUAL key)
    return()
  endif()
  set(modes static-pie static)
  set(orders OFF)
  if(echorun_${libc}_libdir)
    set(modes static-pie static-pie-linker static)
    set(orders OFF ON)
  endif()
  set(found "")
  set(group OFF)
  foreach(mode IN LISTS modes)
    foreach(grouped IN LISTS orders)
      echorun_probe_static(${libc} ${mode} ${grouped} outcome)
      if(outcome STREQUAL "link")
        continue()
      endif()
      set(orders ${grouped})
      if(outcome STREQUAL "ok")
        set(found ${mode})
        set(group ${grouped})
      endif()
      break()
    endforeach()
    if(found)
      break()
    endif()
  endforeach()
  set(ECHORUN_STATIC_MODE_${libc} "${found}" CACHE INTERNAL
    "How echorun links ${libc} statically")
  set(ECHORUN_STATIC_GROUP_${libc} ${group} CACHE INTERNAL
    "Whether libc.a and libgcc.a are grouped in the static link")

  # Packed relative relocations take about a tenth off a static PIE's
  # start-up, where they work: musl 1.2.3 links them and then crashes at
  # start, some linkers ignore the flag with a warning, glibc before 2.36
  # cannot apply them.  So the probe is linked with linker warnings made
  # fatal before the flag (they are judged as the command line is read),
  # and run; a build that cannot run it goes without.
  set(packed OFF)
  if(found MATCHES "pie" AND
      (NOT CMAKE_CROSSCOMPILING OR CMAKE_CROSSCOMPILING_EMULATOR))
    echorun_probe_static(${libc} ${found} ${group} outcome
      LINKER:--fatal-warnings LINKER:-z,pack-relative-relocs)
    if(outcome STREQUAL "ok")
      set(packed ON)
    endif()
  endif()
  set(ECHORUN_PACKED_RELOCS_${libc} ${packed} CACHE INTERNAL
    "Whether ${libc}'s static PIE takes packed relative relocations")
  set(ECHORUN_STATIC_KEY_${libc} ${key} CACHE INTERNAL
    "What the static probes of ${libc} were run with")
endfunction()

# What follows probes the compiler; a script (cmake -P) that includes this
# file takes the functions alone.
if(CMAKE_SCRIPT_MODE_FILE)
  return()
endif()

# The compiler's own C library.  musl defines no macro of its own, so only
# the compiler's name for its target can say that a library without
# __GLIBC__ is musl.
echorun_dumpmachine(echorun_machine)
echorun_musl_name_of("${echorun_machine}" echorun_musl_name)
set(CMAKE_REQUIRED_QUIET ON)
check_cxx_source_compiles([[
#include <stdio.h>
#ifndef __GLIBC__
#error the C library is not glibc
#endif
int main() { return 0; }]] ECHORUN_SYSTEM_GLIBC)
unset(CMAKE_REQUIRED_QUIET)
if(ECHORUN_SYSTEM_GLIBC)
  set(echorun_libc_system glibc)
elseif(echorun_machine MATCHES "-musl")
  set(echorun_libc_system musl)
else()
  set(echorun_libc_system libc)
endif()
set(echorun_libcs ${echorun_libc_system})
set(echorun_${echorun_libc_system}_compile_flags "")
set(echorun_${echorun_libc_system}_libdir "")

# musl beside it, built against with its own headers only, and linked
# with every start file named, since the driver knows only its own C
# library.
if(NOT echorun_libc_system STREQUAL "musl" AND echorun_musl_name)
  echorun_find_musl(${echorun_musl_name})
  if(echorun_musl_libdir)
    echorun_compiler_pieces()
    list(APPEND echorun_libcs musl)
    set(echorun_musl_compile_flags -nostdinc -nostdinc++
      -isystem ${echorun_musl_include})
  endif()
endif()
