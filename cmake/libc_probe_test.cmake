# SPDX-License-Identifier: MIT
# cmake -P: the C library decision, from what the probes found to what
# configure chooses and says; musl's names for the targets compilers name;
# and musl found through a musl-gcc wrapper.  The probes themselves are not
# run: each row says what they found.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/launcher.cmake)

# One choice, in a process of its own since a refusal ends it: the
# variables come from the row, the probes' findings included.
if(DEFINED ROW)
  function(echorun_static_link libc)
  endfunction()
  string(REPLACE "," ";" ROW "${ROW}")
  list(POP_FRONT ROW ECHORUN_LIBC ECHORUN_STATIC ECHORUN_SANITIZE
    echorun_libc_system echorun_libcs musl glibc)
  string(REPLACE "+" ";" echorun_libcs "${echorun_libcs}")
  foreach(libc IN ITEMS musl glibc)
    if(NOT ${libc} STREQUAL "-")
      string(REPLACE "none" "" ECHORUN_STATIC_MODE_${libc} "${${libc}}")
    endif()
  endforeach()
  set(echorun_musl_name x86_64-linux-musl)
  set(echorun_musl_libdir /usr/lib/x86_64-linux-musl)
  echorun_choose()
  echorun_report(line)
  message("${line}")
  return()
endif()

# One row: ECHORUN_LIBC, ECHORUN_STATIC, ECHORUN_SANITIZE, the compiler's
# own C library, the C libraries found (joined by +), how musl and glibc
# link statically as the probes found (none: not at all, -: not probed),
# then a pattern of what configure must say, or of the error it must stop
# with; a semicolon, which would split the row, is matched by a dot.
set(choices
  "auto,auto,OFF,glibc,glibc+musl,static-pie,static-pie"
    "^echorun: musl, static PIE. the fastest build"
  "auto,auto,OFF,glibc,glibc+musl,static-pie-linker,static"
    "^echorun: musl, static PIE."
  "auto,auto,OFF,glibc,glibc+musl,static,none"
    "^echorun: glibc, dynamic PIE."
  "auto,ON,OFF,glibc,glibc+musl,static,none"
    "^echorun: musl, static, not PIE."
  "auto,auto,OFF,glibc,glibc+musl,none,static-pie"
    "^echorun: glibc, static PIE. musl in /usr/lib/x86_64-linux-musl does not link"
  "auto,auto,OFF,glibc,glibc,-,static-pie"
    "^echorun: glibc, static PIE. musl static starts faster: install musl \\(Debian: apt-get install musl-dev\\)"
  "auto,auto,OFF,glibc,glibc,-,static"
    "^echorun: glibc, dynamic PIE."
  "auto,ON,OFF,glibc,glibc,-,static"
    "^echorun: glibc, static, not PIE."
  "auto,ON,OFF,glibc,glibc,-,none"
    "ECHORUN_STATIC=ON: glibc does not link.*libc6-dev. Fedora: dnf install glibc-static.*musl-dev"
  "auto,OFF,OFF,glibc,glibc+musl,-,-"
    "^echorun: glibc, dynamic PIE. musl static starts faster: -DECHORUN_LIBC=auto -DECHORUN_STATIC=auto"
  "auto,auto,ON,glibc,glibc+musl,static-pie,static-pie"
    "^echorun: glibc, dynamic PIE. as the sanitizers need"
  "auto,ON,ON,glibc,glibc,-,static-pie"
    "ECHORUN_SANITIZE needs the dynamic glibc build"
  "musl,auto,OFF,glibc,glibc,-,static-pie"
    "ECHORUN_LIBC=musl: no musl for x86_64-linux-musl was found: install musl \\(Debian: apt-get install musl-dev\\)"
  "musl,auto,OFF,glibc,glibc+musl,none,static-pie"
    "ECHORUN_LIBC=musl: musl in /usr/lib/x86_64-linux-musl does not link"
  "musl,OFF,OFF,glibc,glibc+musl,static-pie,static-pie"
    "ECHORUN_LIBC=musl builds a static echorun"
  "glibc,auto,OFF,glibc,glibc+musl,static-pie,static-pie"
    "^echorun: glibc, static PIE. musl static starts faster: -DECHORUN_LIBC=auto"
  "glibc,auto,OFF,glibc,glibc+musl,static-pie,static"
    "^echorun: glibc, dynamic PIE."
  "glibc,auto,OFF,musl,musl,static-pie,-"
    "ECHORUN_LIBC=glibc: .* C library is musl, not glibc"
  "auto,auto,OFF,musl,musl,static-pie,-"
    "^echorun: musl, static PIE. the fastest build"
  "auto,OFF,OFF,musl,musl,-,-"
    "^echorun: musl, dynamic PIE."
  "gnu,auto,OFF,glibc,glibc,-,-"
    "ECHORUN_LIBC is 'gnu'")

# One row: the compiler's -dumpmachine, then musl's name, or - where there
# is no musl to look for.  The Debian rows are the directories that
# musl-dev of each architecture installs.
set(names
  x86_64-linux-gnu x86_64-linux-musl
  x86_64-pc-linux-gnu x86_64-linux-musl
  x86_64-linux-gnux32 x86_64-linux-muslx32
  aarch64-linux-gnu aarch64-linux-musl
  i686-linux-gnu i386-linux-musl
  i586-pc-linux-gnu i386-linux-musl
  arm-linux-gnueabihf arm-linux-musleabihf
  armv7-unknown-linux-gnueabihf arm-linux-musleabihf
  arm-linux-gnueabi arm-linux-musleabi
  mips64el-linux-gnuabi64 mips64el-linux-musl
  mips64el-linux-gnuabin32 mips64el-linux-musln32
  powerpc64le-linux-gnu powerpc64le-linux-musl
  s390x-linux-gnu s390x-linux-musl
  riscv64-linux-gnu riscv64-linux-musl
  x86_64-alpine-linux-musl x86_64-linux-musl
  x86_64-w64-mingw32 -
  aarch64-apple-darwin23 -)

# One row: how a musl-gcc wrapper names its specs file, whether the
# library directory that the specs file names holds libc.a, and whether
# musl must be found there.
set(wrappers
  "-specs \"SPECS\"" yes found
  "-specs=SPECS" yes found
  "-v" yes -
  "-specs \"SPECS\"" no -)

while(choices)
  list(POP_FRONT choices row want)
  execute_process(COMMAND ${CMAKE_COMMAND} -DROW=${row}
      -P ${CMAKE_CURRENT_LIST_FILE}
    OUTPUT_VARIABLE said ERROR_VARIABLE said RESULT_VARIABLE failed)
  string(REGEX REPLACE "[ \n]+" " " said "${said}")
  string(STRIP "${said}" said)
  if(NOT said MATCHES "${want}" OR
      (failed AND want MATCHES "^\\^echorun:") OR
      (NOT failed AND NOT want MATCHES "^\\^echorun:"))
    message(SEND_ERROR "${row}: expected ${want}, got (exit ${failed}) ${said}")
  endif()
endwhile()

while(names)
  list(POP_FRONT names machine want)
  echorun_musl_name_of(${machine} got)
  if(NOT got)
    set(got -)
  endif()
  if(NOT got STREQUAL want)
    message(SEND_ERROR "${machine}: musl's name is ${want}, not ${got}")
  endif()
endwhile()

set(root ${CMAKE_CURRENT_BINARY_DIR}/libc_probe_test)
file(REMOVE_RECURSE ${root})
set(row 0)
while(wrappers)
  list(POP_FRONT wrappers form libc_a want)
  math(EXPR row "${row} + 1")
  set(dir ${root}/${row})
  file(WRITE ${dir}/include/stdio.h "")
  if(libc_a)
    file(WRITE ${dir}/lib/libc.a "")
  endif()
  file(WRITE ${dir}/lib/musl-gcc.specs "*cc1:\n-nostdinc -isystem ${dir}/include "
    "-isystem include%s\n\n*link_libgcc:\n-L${dir}/lib -L .%s\n")
  string(REPLACE SPECS ${dir}/lib/musl-gcc.specs form "${form}")
  file(WRITE ${dir}/bin/echorun-test-linux-musl-gcc "#!/bin/sh\nexec gcc \"$@\" ${form}\n")
  file(CHMOD ${dir}/bin/echorun-test-linux-musl-gcc PERMISSIONS OWNER_READ OWNER_EXECUTE)
  set(ENV{PATH} ${dir}/bin)
  echorun_find_musl(echorun-test-linux-musl)
  set(got -)
  if(echorun_musl_libdir STREQUAL "${dir}/lib" AND
      echorun_musl_include STREQUAL "${dir}/include")
    set(got found)
  endif()
  if(NOT got STREQUAL want)
    message(SEND_ERROR "wrapper ${form}, libc.a ${libc_a}: expected ${want}, "
      "got ${echorun_musl_include} ${echorun_musl_libdir}")
  endif()
endwhile()
file(REMOVE_RECURSE ${root})
