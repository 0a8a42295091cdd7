# SPDX-License-Identifier: MIT
# Which build of echorun this tree makes, and how each links.  A build is
# named by its C library and linking, fastest first in ECHORUN_BUILD_NAMES;
# auto takes the first that links and runs here.  Functions return what
# they decide in variables their caller names.  Once included, the file
# has found the machine the compiler builds for: ECHORUN_ARCH (Debian's
# name), ECHORUN_MUSL_NAME (Debian's musl-dev puts musl for it in
# /usr/include and /usr/lib under that name), ECHORUN_RPM_ARCH (rpm's
# name, or -); and a cross build's emulator.
set(ECHORUN_BUILD_NAMES musl-static glibc-static glibc-dynamic)

# What the compiler prints for ARGN, asked with the tree's flags, as these
# choose the machine (-m32) and with it the start files and libraries.
function(echorun_ask out)
  separate_arguments(flags UNIX_COMMAND "${CMAKE_CXX_FLAGS}")
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} ${flags} ${ARGN}
    OUTPUT_VARIABLE answer
    OUTPUT_STRIP_TRAILING_WHITESPACE
    ERROR_QUIET)
  set(${out} "${answer}" PARENT_SCOPE)
endfunction()

# The machine's row of the architectures table, found by its triplet with
# the vendor left out and any x86-32 taken for i686: Debian's name for it;
# the name of Debian's musl for it; rpm's name for it; and in a cross build
# the emulator that runs its programs, unless this machine runs them
# itself.  A machine that the table lacks keeps its processor's name and
# has no musl and no rpm name.  The machine is the compiler's multiarch
# name where it has one, as gcc -m32 -print-multiarch names the machine
# that -m32 chooses.
function(echorun_find_machine arch_out musl_out rpm_out emulator_out)
  echorun_ask(machine -print-multiarch)
  if(NOT machine)
    echorun_ask(machine -dumpmachine)
  endif()
  string(REGEX REPLACE "^i[3-6]86-" "i686-" machine "${machine}")
  string(REGEX REPLACE "^([^-]+)-.*linux-" "\\1-linux-" machine ${machine})
  string(REGEX REPLACE "-.*" "" arch "${machine}")
  set(musl "")
  set(rpm -)
  set(emulator "")
  set(table ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/architectures)
  file(STRINGS ${table} row REGEX "^[^ ]+ +${machine} ")
  string(REGEX MATCHALL "[^ ]+" row "${row}")
  if(row)
    list(POP_FRONT row arch triplet qemu uname releases rpm)
    # Debian's musl-dev names its directory so.
    string(REGEX REPLACE "gnu(abi64)?" "musl" musl ${triplet})
    string(REPLACE "i686-" "i386-" musl ${musl})
    # The uname column's shell patterns, as one regular expression.
    string(REPLACE "*" ".*" uname "^(${uname})$")
    string(REPLACE "," "|" uname "${uname}")
    set(host ${CMAKE_HOST_SYSTEM_PROCESSOR})
    if(CMAKE_CROSSCOMPILING AND NOT host MATCHES "${uname}")
      set(emulator qemu-${qemu} -L /usr/${triplet})
    endif()
  endif()
  set(${arch_out} ${arch} PARENT_SCOPE)
  set(${musl_out} "${musl}" PARENT_SCOPE)
  set(${rpm_out} ${rpm} PARENT_SCOPE)
  set(${emulator_out} "${emulator}" PARENT_SCOPE)
endfunction()

# The compile options, link options and libraries of BUILD.  echorun uses
# the C library alone: no exceptions, no RTTI, no C++ runtime.  Against
# Debian's musl, beside the compiler's glibc: musl's headers alone, every
# start file named, the static PIE asked of the linker (Debian's arm and
# mips64el drivers spell -static-pie with a loader), libc.a and libgcc.a
# grouped (on arm each needs the other).
function(echorun_build_options build compile_out link_out libs_out)
  set(compile -fPIE -fno-exceptions -fno-rtti)
  set(link -static-pie)
  set(libs "")
  if(build STREQUAL "glibc-dynamic")
    set(link -pie LINKER:--as-needed)
  elseif(build STREQUAL "musl-static")
    set(lib /usr/lib/${ECHORUN_MUSL_NAME})
    foreach(piece IN ITEMS crtbeginS.o crtendS.o libgcc.a)
      echorun_ask(${piece} -print-file-name=${piece})
    endforeach()
    list(APPEND compile
      -nostdinc -nostdinc++ -isystem /usr/include/${ECHORUN_MUSL_NAME})
    set(link -static LINKER:-pie,--no-dynamic-linker,-z,text
      -nostdlib -nostartfiles ${lib}/rcrt1.o ${lib}/crti.o ${crtbeginS.o})
    set(libs -Wl,--start-group ${lib}/libc.a ${libgcc.a} -Wl,--end-group
      ${crtendS.o} ${lib}/crtn.o)
  endif()
  set(${compile_out} ${compile} PARENT_SCOPE)
  set(${link_out} ${link} PARENT_SCOPE)
  set(${libs_out} ${libs} PARENT_SCOPE)
endfunction()

# The build that ECHORUN_BUILD and ECHORUN_SANITIZE ask for, in BUILD_OUT,
# and every build this machine makes, fastest first, in CAN_OUT.  A static
# build is made where cmake/static_probe.cpp, linked as that build, runs
# (under the emulator in a cross build).  The configure says which build,
# and when it is not the fastest, why; a build this machine cannot make
# stops it with the reason, and what to install where that would help.
function(echorun_choose_build build_out can_out)
  set(can glibc-dynamic)
  set(probe ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/static_probe.cpp)
  foreach(build IN ITEMS glibc-static musl-static)
    set(dir ${PROJECT_BINARY_DIR}/CMakeFiles/echorun-probes/${build})
    echorun_build_options(${build} compile link libs)
    try_compile(linked ${dir} ${probe}
      COMPILE_DEFINITIONS ${compile}
      LINK_OPTIONS ${link}
      LINK_LIBRARIES ${libs}
      COPY_FILE ${dir}/probe
      OUTPUT_VARIABLE log)
    file(WRITE ${dir}/output.txt "${log}")
    set(status "it did not link")
    if(linked)
      execute_process(COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} ${dir}/probe
        RESULT_VARIABLE status
        OUTPUT_QUIET
        ERROR_QUIET
        TIMEOUT 60)
    endif()
    echorun_ask(libc_a -print-file-name=libc.a)
    set(why_${build} "no static PIE that runs here (${status}: see ${dir})")
    if(status STREQUAL "0")
      list(PREPEND can ${build})
    elseif(build STREQUAL "musl-static" AND
        NOT EXISTS /usr/lib/${ECHORUN_MUSL_NAME}/libc.a)
      string(CONCAT why_${build} "no musl for ${ECHORUN_ARCH} was found: "
        "install musl (Debian: apt-get install musl-dev:${ECHORUN_ARCH})")
    elseif(build STREQUAL "glibc-static" AND NOT IS_ABSOLUTE "${libc_a}")
      string(CONCAT why_${build} "no glibc static library: install it"
        " (Debian: apt-get install libc6-dev, Fedora: glibc-static)")
    endif()
  endforeach()

  set(build ${ECHORUN_BUILD})
  set(reason ${why_musl-static})
  if(NOT build MATCHES "^auto$|^glibc-dynamic$" AND ECHORUN_SANITIZE)
    message(FATAL_ERROR
      "ECHORUN_SANITIZE needs -DECHORUN_BUILD=glibc-dynamic")
  elseif(ECHORUN_SANITIZE)
    # The sanitizers' runtimes are shared libraries of glibc's.
    set(build glibc-dynamic)
    set(reason "the sanitizers need glibc-dynamic")
  elseif(build STREQUAL "auto")
    list(GET can 0 build)
  elseif(NOT build IN_LIST ECHORUN_BUILD_NAMES)
    list(JOIN ECHORUN_BUILD_NAMES ", " names)
    message(FATAL_ERROR "ECHORUN_BUILD is '${build}': use auto, ${names}")
  elseif(NOT build IN_LIST can)
    message(FATAL_ERROR "ECHORUN_BUILD=${build}: ${why_${build}}, "
      "or -DECHORUN_BUILD=auto")
  elseif(musl-static IN_LIST can)
    set(reason "ECHORUN_BUILD asks for ${build}")
  endif()
  if(build STREQUAL "musl-static")
    message(STATUS "echorun: ${build}; the fastest build")
  else()
    message(STATUS
      "echorun: ${build}; musl-static starts faster, but ${reason}")
  endif()
  set(${build_out} ${build} PARENT_SCOPE)
  set(${can_out} ${can} PARENT_SCOPE)
endfunction()

set(ECHORUN_BUILD auto CACHE STRING
  "Build of echorun: auto or one of ${ECHORUN_BUILD_NAMES}")
set_property(CACHE ECHORUN_BUILD PROPERTY STRINGS auto ${ECHORUN_BUILD_NAMES})
echorun_find_machine(ECHORUN_ARCH ECHORUN_MUSL_NAME ECHORUN_RPM_ARCH
  CMAKE_CROSSCOMPILING_EMULATOR)
# A cross tree whose emulator is missing can run nothing it builds, the
# probes included.
if(CMAKE_CROSSCOMPILING_EMULATOR)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 emulator)
  find_program(ECHORUN_EMULATOR ${emulator})
  if(NOT ECHORUN_EMULATOR)
    message(FATAL_ERROR "No ${emulator}, the emulator that runs what this "
      "tree builds: install qemu-user (Debian: apt-get install qemu-user)")
  endif()
endif()
