# SPDX-License-Identifier: MIT
# Which build of echorun this tree makes: musl-static, glibc-static, glibc-dynamic, or
# musl-dynamic where the compiler's own C library is musl; auto takes the first of these that
# links and runs here, as a probe linked like echorun and run (under the emulator in a cross
# build) shows.  Functions return what they decide in variables their caller names; once
# included, the file has found ECHORUN_SYSTEM_LIBC, ECHORUN_MUSL_NAME, _LIBDIR and ECHORUN_ARCH.

# What the compiler prints for ARGS, asked with the tree's flags and target, as these choose
# the machine (-m32) and with it the start files and libraries.
function(echorun_ask out)
  separate_arguments(flags UNIX_COMMAND "${CMAKE_CXX_FLAGS}")
  if(CMAKE_CXX_COMPILER_TARGET)
    list(APPEND flags --target=${CMAKE_CXX_COMPILER_TARGET})
  endif()
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} ${flags} ${ARGN}
    OUTPUT_VARIABLE answer OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  set(${out} "${answer}" PARENT_SCOPE)
endfunction()

# musl's name for TRIPLET, and Debian's name for its machine: the triplet without vendor, i386
# for any x86-32, arm for any ARM, the ABI's gnu made musl (arm-linux-gnueabihf gives
# arm-linux-musleabihf), 64-bit MIPS's default ABI unnamed.  A machine Debian has no port for
# keeps its processor's name.
function(echorun_machine triplet musl_name_out arch_out)
  string(REGEX REPLACE "^([^-]+)-(.+-)?linux(-gnu|-musl)?(abi64)?" "\\1-linux-musl"
    name "${triplet}")
  string(REGEX REPLACE "^i[3-6]86-" "i386-" name "${name}")
  string(REGEX REPLACE "^armv[0-9a-z]*-" "arm-" name "${name}")
  string(REGEX REPLACE "-.*" "" arch "${name}")
  string(REGEX REPLACE "-linux-musl$" "" key "${name}")
  if(" x86_64=amd64 aarch64=arm64 arm-linux-musleabi=armel arm-linux-musleabihf=armhf i386=i386 \
mips64el=mips64el powerpc64le=ppc64el riscv64=riscv64 s390x=s390x " MATCHES " ${key}=([^ ]+) ")
    set(arch ${CMAKE_MATCH_1})
  endif()
  set(${musl_name_out} ${name} PARENT_SCOPE)
  set(${arch_out} ${arch} PARENT_SCOPE)
endfunction()

# The compiler's own C library, as its target's name says; musl's name for the machine and
# Debian's; where Debian's musl-dev installed that musl, its libraries (headers: /usr/include/NAME).
# The machine is the compiler's multiarch name where it has one, as gcc -m32 -dumpmachine names
# the default machine; without one, a flag that chooses the machine cannot be followed.
function(echorun_find_libc libc_out musl_name_out musl_lib_out arch_out)
  echorun_ask(target -dumpmachine)
  echorun_ask(machine -print-multiarch)
  if(NOT machine AND CMAKE_CXX_FLAGS MATCHES "(^| )(-m(32|64|x32|abi=[^ ]*|[a-z]+-endian))")
    message(FATAL_ERROR "${CMAKE_CXX_COMPILER} names no multiarch target: the machine that "
      "${CMAKE_MATCH_2} in CMAKE_CXX_FLAGS chooses is unknown (set CMAKE_CXX_COMPILER_TARGET)")
  elseif(NOT machine)
    set(machine ${target})
  endif()
  set(libc glibc)
  if(target MATCHES "-musl")
    set(libc musl)
  endif()
  echorun_machine(${machine} name arch)
  set(${libc_out} ${libc} PARENT_SCOPE)
  set(${musl_name_out} ${name} PARENT_SCOPE)
  set(${arch_out} ${arch} PARENT_SCOPE)
  set(${musl_lib_out} "" PARENT_SCOPE)
  if(libc STREQUAL "glibc" AND EXISTS /usr/lib/${name}/libc.a)
    set(${musl_lib_out} /usr/lib/${name} PARENT_SCOPE)
  endif()
endfunction()

# The compile options, link options and libraries of BUILD.  A musl beside the compiler's C
# library: its headers alone, every start file named, the static PIE asked of the linker (Debian's
# arm and mips64el drivers spell -static-pie with a loader), libc.a and libgcc.a grouped (on arm
# each needs the other).
function(echorun_build_options build compile_out link_out libs_out)
  set(compile -fPIE)
  set(link -static-pie)
  set(libs "")
  if(build MATCHES "dynamic")
    set(link -pie LINKER:--as-needed)
  elseif(build STREQUAL "musl-static" AND ECHORUN_MUSL_LIBDIR)
    set(lib ${ECHORUN_MUSL_LIBDIR})
    foreach(piece IN ITEMS crtbeginS.o crtendS.o libgcc.a)
      echorun_ask(${piece} -print-file-name=${piece})
    endforeach()
    list(APPEND compile -nostdinc -nostdinc++ -isystem /usr/include/${ECHORUN_MUSL_NAME})
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
  # A cross tree whose emulator is missing can run nothing it builds, the probes included.
  string(REGEX REPLACE ";.*" "" emulator "${CMAKE_CROSSCOMPILING_EMULATOR}")
  if(emulator)
    find_program(ECHORUN_EMULATOR ${emulator})
  endif()
  if(emulator AND NOT ECHORUN_EMULATOR)
    message(FATAL_ERROR "No ${emulator}, the emulator that runs what this tree builds: install \
qemu-user (Debian: apt-get install qemu-user)")
  endif()
  foreach(build IN ITEMS musl-static glibc-static glibc-dynamic musl-dynamic)
    string(REGEX REPLACE "-.*" "" libc ${build})
    set(problem "")
    if(NOT libc STREQUAL ECHORUN_SYSTEM_LIBC AND NOT build STREQUAL "musl-static")
      set(problem "the compiler's own C library is ${ECHORUN_SYSTEM_LIBC}")
    elseif(NOT libc STREQUAL ECHORUN_SYSTEM_LIBC AND NOT ECHORUN_MUSL_LIBDIR)
      set(problem "no musl for ${ECHORUN_MUSL_NAME} was found: install musl (Debian: \
apt-get install musl-dev:${ECHORUN_ARCH})")
    elseif(build MATCHES "static")
      echorun_probe(${build} problem)
      if(problem AND libc STREQUAL "glibc")
        echorun_ask(libc_a -print-file-name=libc.a)
        echorun_ask(rcrt1 -print-file-name=rcrt1.o)
        set(problem "glibc ${problem}")
        if(NOT IS_ABSOLUTE "${libc_a}")
          string(APPEND problem ": install glibc's static library (Debian: apt-get install \
libc6-dev, Fedora: dnf install glibc-static)")
        elseif(NOT IS_ABSOLUTE "${rcrt1}")
          string(APPEND problem ": it has no start file for a static PIE here (rcrt1.o)")
        endif()
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
echorun_find_libc(ECHORUN_SYSTEM_LIBC ECHORUN_MUSL_NAME ECHORUN_MUSL_LIBDIR ECHORUN_ARCH)
