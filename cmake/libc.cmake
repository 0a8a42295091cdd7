# SPDX-License-Identifier: MIT
# Which build of echorun this tree makes, named by its C library and linking: musl-static,
# glibc-static, glibc-dynamic, or musl-dynamic where the compiler's own C library is musl; auto
# takes the first of the first three that links and runs here.  A static build is probed by
# linking cmake/static_probe.cpp as echorun would be and running it (under the emulator in a
# cross build), never judged from the machine's name.  Each function returns what it decides in
# variables its caller names; the file, once included, has found ECHORUN_SYSTEM_LIBC and
# ECHORUN_MUSL_NAME, ECHORUN_MUSL_INCLUDE and ECHORUN_MUSL_LIBDIR for echorun_build_options.

# The compiler's own C library, as its target's name says, and musl's name for the target: the
# triplet without vendor, i386 for any x86-32, arm for any ARM, the ABI's gnu made musl
# (arm-linux-gnueabihf gives arm-linux-musleabihf), 64-bit MIPS's default ABI unnamed.  Where
# Debian's musl-dev installed that, its headers and libraries, else empty.
function(echorun_find_libc libc_out musl_name_out musl_include_out musl_lib_out)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -dumpmachine
    OUTPUT_VARIABLE machine OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  set(libc glibc)
  if(machine MATCHES "-musl")
    set(libc musl)
  endif()
  string(REGEX REPLACE "^([^-]+)-(.+-)?linux(-gnu|-musl)?(abi64)?" "\\1-linux-musl"
    name "${machine}")
  string(REGEX REPLACE "^i[3-6]86-" "i386-" name "${name}")
  string(REGEX REPLACE "^armv[0-9a-z]*-" "arm-" name "${name}")
  set(${libc_out} ${libc} PARENT_SCOPE)
  set(${musl_name_out} ${name} PARENT_SCOPE)
  set(${musl_include_out} "" PARENT_SCOPE)
  set(${musl_lib_out} "" PARENT_SCOPE)
  if(libc STREQUAL "glibc" AND EXISTS /usr/lib/${name}/libc.a)
    set(${musl_include_out} /usr/include/${name} PARENT_SCOPE)
    set(${musl_lib_out} /usr/lib/${name} PARENT_SCOPE)
  endif()
endfunction()

# The compile options, link options and libraries of BUILD.  A musl beside the compiler's C
# library is compiled against with its headers alone and linked with every start file named, as
# the driver knows only its own, and the static PIE asked of the linker, as Debian's arm and
# mips64el drivers spell -static-pie with a loader.  libc.a and libgcc.a are grouped: on arm
# each needs the other.
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
    set(libs -Wl,--start-group ${lib}/libc.a ${libgcc.a} -Wl,--end-group ${crtendS.o} ${lib}/crtn.o)
  endif()
  set(${compile_out} ${compile} PARENT_SCOPE)
  set(${link_out} ${link} PARENT_SCOPE)
  set(${libs_out} ${libs} PARENT_SCOPE)
endfunction()

# Links and runs the probe as BUILD; OUT is empty when that worked, else why not.  A cross build
# with no emulator takes a link for a yes.
function(echorun_probe build out)
  set(dir ${PROJECT_BINARY_DIR}/CMakeFiles/echorun-probes/${build})
  echorun_build_options(${build} compile link libs)
  try_compile(ECHORUN_PROBE_LINKED ${dir} ${PROJECT_SOURCE_DIR}/cmake/static_probe.cpp
    COMPILE_DEFINITIONS -fno-exceptions -fno-rtti ${compile}
    LINK_OPTIONS ${link} LINK_LIBRARIES ${libs}
    COPY_FILE ${dir}/probe OUTPUT_VARIABLE log)
  file(WRITE ${dir}/output.txt "${log}")
  set(status "it did not link")
  if(ECHORUN_PROBE_LINKED AND (CMAKE_CROSSCOMPILING_EMULATOR OR NOT CMAKE_CROSSCOMPILING))
    execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} ${dir}/probe
      RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
  elseif(ECHORUN_PROBE_LINKED)
    set(status 0)
  endif()
  set(${out} "" PARENT_SCOPE)
  if(NOT status STREQUAL "0")
    set(${out} "does not link a static PIE that runs here (${status}: see ${dir})" PARENT_SCOPE)
  endif()
endfunction()

# The builds that this machine can make, fastest first, in CAN; for each of the others,
# "BUILD: why not, and what to install" in WHY.
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
    if(NOT libc STREQUAL ECHORUN_SYSTEM_LIBC AND NOT build STREQUAL "musl-static")
      set(problem "the compiler's own C library is ${ECHORUN_SYSTEM_LIBC}")
    elseif(NOT libc STREQUAL ECHORUN_SYSTEM_LIBC AND NOT ECHORUN_MUSL_LIBDIR)
      set(problem "no musl for ${ECHORUN_MUSL_NAME} was found: install musl (Debian: \
apt-get install ${musl})")
    elseif(build MATCHES "static")
      echorun_probe(${build} problem)
      if(problem AND libc STREQUAL "glibc")
        set(problem "glibc ${problem}: install glibc's static library (Debian: apt-get \
install libc6-dev, Fedora: dnf install glibc-static)")
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

# The build to make for WANT (an ECHORUN_BUILD value) and SANITIZE, of those in CAN, in BUILD,
# and the line that says so and how to get the fastest in LINE; or, when there is none, BUILD
# empty and the error.
function(echorun_choose_build build_out line_out want sanitize can why)
  set(known auto musl-static glibc-static glibc-dynamic musl-dynamic)
  set(build "")
  if(NOT want IN_LIST known)
    list(JOIN known ", " known)
    set(line "ECHORUN_BUILD is '${want}': use one of ${known}")
  # The sanitizers' runtimes are shared libraries of glibc's.
  elseif(sanitize AND NOT want MATCHES "^(auto|glibc-dynamic)$")
    set(line "ECHORUN_SANITIZE needs -DECHORUN_BUILD=glibc-dynamic")
  elseif(sanitize)
    set(build glibc-dynamic)
    set(line "as the sanitizers need")
  else()
    if(want STREQUAL "auto")
      list(GET can 0 want)
    endif()
    set(not_musl ${why})
    list(FILTER why INCLUDE REGEX "^${want}: ")
    list(FILTER not_musl INCLUDE REGEX "^musl-static: ")
    string(REPLACE "musl-static: " "musl-static starts faster, but " line "${not_musl}")
    if(NOT want IN_LIST can)
      set(line "ECHORUN_BUILD=${why}, or configure with -DECHORUN_BUILD=auto")
    elseif(want STREQUAL "musl-static")
      set(line "the fastest build")
    elseif("musl-static" IN_LIST can)
      set(line "musl-static starts faster: -DECHORUN_BUILD=auto")
    endif()
    if(want IN_LIST can)
      set(build ${want})
    endif()
  endif()
  if(build)
    set(line "echorun: ${build}; ${line}")
  endif()
  set(${build_out} "${build}" PARENT_SCOPE)
  set(${line_out} "${line}" PARENT_SCOPE)
endfunction()

# A script (cmake -P) that includes this file takes the functions alone.
if(CMAKE_SCRIPT_MODE_FILE)
  return()
endif()
set(ECHORUN_BUILD auto CACHE STRING
  "Build of echorun: auto, musl-static, glibc-static, glibc-dynamic or musl-dynamic")
set_property(CACHE ECHORUN_BUILD PROPERTY STRINGS
  auto musl-static glibc-static glibc-dynamic musl-dynamic)
echorun_find_libc(ECHORUN_SYSTEM_LIBC ECHORUN_MUSL_NAME ECHORUN_MUSL_INCLUDE ECHORUN_MUSL_LIBDIR)
