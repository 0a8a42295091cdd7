# SPDX-License-Identifier: MIT
# What a static archive is called and dated, shared by a build tree's
# `archive` target and by the tree that builds every architecture's.
#
# echorun_archive_name(OUT COMPILER NATIVE) sets OUT to
# echorun-VERSION-linux-ARCH, ARCH being Debian's name for the machine the
# compiler targets (amd64, arm64, armhf, ...).  The compiler says which
# machine that is (-dumpmachine) and dpkg-architecture, in dpkg-dev, turns
# it into Debian's name.  Without dpkg-dev, a NATIVE compiler's machine is
# the one dpkg itself runs on; failing that too, the name is the machine's
# own (x86_64, aarch64), and a message says how to get Debian's.
#
# echorun_archive_mtime(OUT) sets OUT to the time stamp every file in an
# archive carries, in tar's --mtime syntax: SOURCE_DATE_EPOCH when it is
# set, else the date of the CHANGELOG's latest entry, so that the bytes
# depend on the sources and not on the day they are packed.

function(echorun_archive_name out compiler native)
  execute_process(COMMAND ${compiler} -dumpmachine
    OUTPUT_VARIABLE machine OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE failed)
  if(failed OR NOT machine)
    message(FATAL_ERROR "${compiler} -dumpmachine did not name its target")
  endif()
  echorun_debian_arch(arch ${machine} ${native})
  if(NOT arch)
    string(REGEX REPLACE "-.*" "" arch "${machine}")
    message(STATUS "echorun: the archive for ${machine} is named "
      "${arch}, not by Debian's architecture name: that needs "
      "dpkg-architecture (Debian: apt-get install dpkg-dev)")
  endif()
  set(${out} echorun-${PROJECT_VERSION}-linux-${arch} PARENT_SCOPE)
endfunction()

# Debian's name for the architecture of the GNU triplet MACHINE, or empty.
function(echorun_debian_arch out machine native)
  set(arch "")
  find_program(DPKG_ARCHITECTURE_EXECUTABLE dpkg-architecture)
  find_program(DPKG_EXECUTABLE dpkg)
  if(DPKG_ARCHITECTURE_EXECUTABLE)
    # It warns when the triplet differs from the host compiler's; the
    # answer is right all the same.
    execute_process(
      COMMAND ${DPKG_ARCHITECTURE_EXECUTABLE} -t ${machine} -qDEB_HOST_ARCH
      OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  elseif(native AND DPKG_EXECUTABLE)
    execute_process(COMMAND ${DPKG_EXECUTABLE} --print-architecture
      OUTPUT_VARIABLE arch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  set(${out} "${arch}" PARENT_SCOPE)
endfunction()

function(echorun_archive_mtime out)
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(${out} "@$ENV{SOURCE_DATE_EPOCH}" PARENT_SCOPE)
    return()
  endif()
  file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG trailer REGEX "^ -- .*>  ")
  list(GET trailer 0 trailer)
  string(REGEX REPLACE "^ -- .*>  " "" mtime "${trailer}")
  set(${out} "${mtime}" PARENT_SCOPE)
endfunction()
