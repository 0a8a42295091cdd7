# SPDX-License-Identifier: MIT
# Every architecture's static archive, in one build tree (the `archives`
# preset, ECHORUN_ARCHIVES=ON): one sub-build per toolchain, each of
# echorun and its `archive` target alone, side by side in the tree's own
# directory, and SHA256SUMS over them all.  With testing on, each archive
# is checked as it ships (tests/archive.cmake), under its emulator.
#
# The toolchains are this machine's compiler, named "native", and every
# file in cmake/toolchains; ECHORUN_ARCHIVE_TOOLCHAINS picks fewer.  A
# toolchain whose target is the native one's is left out, so that each
# archive has one build.  The archives hold musl, the small, fast build: a
# missing compiler stops the configure, a missing musl the sub-build's,
# each with the Debian packages to install.
include(ExternalProject)
include(${CMAKE_CURRENT_LIST_DIR}/archive_name.cmake)

# Without Debian's names, armel's and armhf's archives would both be arm's.
find_program(DPKG_ARCHITECTURE_EXECUTABLE dpkg-architecture)
if(NOT DPKG_ARCHITECTURE_EXECUTABLE)
  message(FATAL_ERROR "The archives are named by Debian's architecture "
    "names, which dpkg-architecture gives (Debian: apt-get install dpkg-dev)")
endif()

file(GLOB echorun_toolchain_files ${PROJECT_SOURCE_DIR}/cmake/toolchains/*.cmake)
set(echorun_toolchains native)
foreach(file IN LISTS echorun_toolchain_files)
  get_filename_component(name ${file} NAME_WE)
  list(APPEND echorun_toolchains ${name})
endforeach()
set(ECHORUN_ARCHIVE_TOOLCHAINS "${echorun_toolchains}" CACHE STRING
  "The toolchains to build archives with: native and names of cmake/toolchains files")

# What one toolchain file says: its compiler and the emulator that runs its
# programs.  The file is read in this function's scope, so that nothing it
# sets reaches this tree's own build.
function(echorun_toolchain_read file)
  include(${file})
  set(compiler ${CMAKE_CXX_COMPILER} PARENT_SCOPE)
  set(emulator ${CMAKE_CROSSCOMPILING_EMULATOR} PARENT_SCOPE)
endfunction()

# Sets name, compiler, emulator and args for the sub-build of toolchain
# $1, or appends to `missing` the Debian package of its compiler.
macro(echorun_toolchain toolchain)
  set(args -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER})
  set(compiler ${CMAKE_CXX_COMPILER})
  set(emulator "")
  set(native TRUE)
  if(NOT toolchain STREQUAL "native")
    set(file ${PROJECT_SOURCE_DIR}/cmake/toolchains/${toolchain}.cmake)
    if(NOT EXISTS ${file})
      message(FATAL_ERROR "ECHORUN_ARCHIVE_TOOLCHAINS: no ${file}")
    endif()
    echorun_toolchain_read(${file})
    set(args -DCMAKE_TOOLCHAIN_FILE=${file})
    set(native FALSE)
  endif()
  unset(found)
  find_program(found ${compiler} NO_CACHE)
  if(found)
    echorun_archive_name(name ${found} ${native})
  else()
    # Debian names a cross compiler's package after the program's prefix;
    # musl for its architecture comes once dpkg takes that architecture.
    string(REGEX REPLACE "-g\\+\\+$" "" triplet "${compiler}")
    echorun_debian_arch(arch ${triplet} FALSE)
    set(line "${compiler}: apt-get install g++-${triplet}")
    if(arch)
      string(APPEND line " musl-dev:${arch}, after dpkg --add-architecture ${arch}")
    endif()
    list(APPEND missing "${line}")
    set(name "")
  endif()
endmacro()

set(missing)
set(echorun_archive_list)
set(echorun_archive_names)
foreach(toolchain IN LISTS ECHORUN_ARCHIVE_TOOLCHAINS)
  echorun_toolchain(${toolchain})
  if(NOT name)
    continue()
  endif()
  if(name IN_LIST echorun_archive_names)
    message(STATUS "echorun: ${toolchain} builds ${name}, as an earlier "
      "toolchain does: left out")
    continue()
  endif()
  list(APPEND echorun_archive_names ${name})
  list(APPEND echorun_archive_list ${toolchain})
  set(echorun_${toolchain}_name ${name})
  set(echorun_${toolchain}_compiler ${found})
  set(echorun_${toolchain}_emulator ${emulator})
  set(echorun_${toolchain}_args ${args})
endforeach()
if(missing)
  list(JOIN missing "\n  " missing)
  message(FATAL_ERROR "No cross compiler for some archives.  On Debian, "
    "install each with the musl for its architecture:\n  ${missing}\n"
    "or leave those out with -DECHORUN_ARCHIVE_TOOLCHAINS.")
endif()

echorun_archive_mtime(echorun_archive_mtime)
set(echorun_archive_files)
set(echorun_archive_arches)
foreach(toolchain IN LISTS echorun_archive_list)
  set(name ${echorun_${toolchain}_name})
  string(REGEX REPLACE ".*-linux-" "" arch ${name})
  set(archive ${PROJECT_BINARY_DIR}/${name}.tar.gz)
  set(build ${PROJECT_BINARY_DIR}/${arch})
  list(APPEND echorun_archive_files ${archive})
  list(APPEND echorun_archive_arches ${arch})
  # The build step runs every time, so that a changed source is rebuilt; the
  # sub-build's own Ninja decides what that takes.  Its output goes to a
  # log, shown when it fails, as the sub-builds run side by side.
  ExternalProject_Add(archive-${arch}
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${build}
    PREFIX ${build}/external
    CMAKE_ARGS ${echorun_${toolchain}_args}
      -DCMAKE_BUILD_TYPE=Release
      -DBUILD_TESTING=OFF
      -DECHORUN_ARCHIVE_LIBC=musl
      -DECHORUN_STATIC=ON
      -DECHORUN_ARCHIVE_DIR=${PROJECT_BINARY_DIR}
      -DECHORUN_ARCHIVE_MTIME=${echorun_archive_mtime}
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${build} --target archive
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS ${archive}
    INSTALL_COMMAND ""
    LOG_CONFIGURE ON LOG_BUILD ON LOG_OUTPUT_ON_FAILURE ON)
endforeach()

# Names only, sorted, in the form sha256sum -c reads, written whole or not
# at all.
list(SORT echorun_archive_names)
list(TRANSFORM echorun_archive_names APPEND .tar.gz)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/SHA256SUMS
  COMMAND sh -c [[sha256sum -- "$@" >SHA256SUMS.new]] sha256sum
    ${echorun_archive_names}
  COMMAND ${CMAKE_COMMAND} -E rename SHA256SUMS.new SHA256SUMS
  DEPENDS ${echorun_archive_files}
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  COMMENT "Writing SHA256SUMS"
  VERBATIM)
add_custom_target(sha256sums ALL DEPENDS ${PROJECT_BINARY_DIR}/SHA256SUMS)

if(BUILD_TESTING)
  include(${PROJECT_SOURCE_DIR}/tests/archive.cmake)
  foreach(toolchain IN LISTS echorun_archive_list)
    set(name ${echorun_${toolchain}_name})
    string(REGEX REPLACE ".*-linux-" "" arch ${name})
    # The target's own binutils, named as Debian names a cross compiler's.
    execute_process(COMMAND ${echorun_${toolchain}_compiler} -dumpmachine
      OUTPUT_VARIABLE machine OUTPUT_STRIP_TRAILING_WHITESPACE)
    foreach(tool IN ITEMS readelf nm)
      string(TOUPPER ${tool} var)
      unset(${var})
      find_program(${var} NAMES ${machine}-${tool} ${tool} NO_CACHE REQUIRED)
    endforeach()
    echorun_archive_tests(${arch} ARCHIVE ${PROJECT_BINARY_DIR}/${name}.tar.gz
      BUILD_DIR ${PROJECT_BINARY_DIR}/${arch} LIBC musl
      READELF ${READELF} NM ${NM} EMULATOR ${echorun_${toolchain}_emulator})
  endforeach()
  # After the checks that pack each archive again.
  list(TRANSFORM echorun_archive_arches APPEND /contents)
  add_test(NAME SHA256SUMS COMMAND sha256sum --strict -c SHA256SUMS
    WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
  set_tests_properties(SHA256SUMS PROPERTIES DEPENDS "${echorun_archive_arches}")
endif()
