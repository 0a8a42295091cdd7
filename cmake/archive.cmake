# SPDX-License-Identifier: MIT
# The static archive, and the set of them.  In a static tree, the `archive` target writes
# echorun-VERSION-linux-ARCH.tar.gz, ARCH being Debian's name (which tells armel from armhf):
# the stripped binary, its manual page, LICENSE and the notices of what the link copied into it,
# in bytes that depend on the sources alone.  With ECHORUN_ARCHIVES, each toolchain whose
# compiler is installed ("native", and each file of cmake/toolchains) builds its musl-static
# archive in a tree of its own, and SHA256SUMS covers them; ECHORUN_ARCHIVE_TOOLCHAINS names
# fewer, each then required.

# What toolchain NAME builds for: ARCH, the COMPILER, the EMULATOR of its programs and the
# PREFIX of its binutils, read in this function's scope so that nothing the toolchain file sets
# reaches this tree's build.
function(echorun_toolchain name arch_out compiler_out emulator_out prefix_out)
  set(CMAKE_CROSSCOMPILING_EMULATOR "")
  set(echorun_triplet "")
  if(name STREQUAL "native")
    find_program(DPKG_EXECUTABLE dpkg)
    set(ECHORUN_ARCH ${CMAKE_HOST_SYSTEM_PROCESSOR})
    if(DPKG_EXECUTABLE)
      execute_process(COMMAND ${DPKG_EXECUTABLE} --print-architecture
        OUTPUT_VARIABLE ECHORUN_ARCH OUTPUT_STRIP_TRAILING_WHITESPACE)
    endif()
  else()
    include(${PROJECT_SOURCE_DIR}/cmake/toolchains/${name}.cmake)
    set(echorun_triplet ${echorun_triplet}-)
  endif()
  set(${arch_out} ${ECHORUN_ARCH} PARENT_SCOPE)
  set(${compiler_out} ${CMAKE_CXX_COMPILER} PARENT_SCOPE)
  set(${emulator_out} "${CMAKE_CROSSCOMPILING_EMULATOR}" PARENT_SCOPE)
  set(${prefix_out} "${echorun_triplet}" PARENT_SCOPE)
endfunction()

# SOURCE_DATE_EPOCH, else the date of the CHANGELOG's latest entry, in tar's --mtime syntax.
function(echorun_archive_mtime out)
  file(STRINGS ${PROJECT_SOURCE_DIR}/CHANGELOG trailer REGEX "^ -- .*>  " LIMIT_COUNT 1)
  string(REGEX REPLACE "^ -- .*>  " "" mtime "${trailer}")
  if(DEFINED ENV{SOURCE_DATE_EPOCH})
    set(mtime "@$ENV{SOURCE_DATE_EPOCH}")
  endif()
  set(${out} "${mtime}" PARENT_SCOPE)
endfunction()

if(ECHORUN_ARCHIVES)
  include(ExternalProject)
  file(GLOB files RELATIVE ${PROJECT_SOURCE_DIR}/cmake/toolchains
    ${PROJECT_SOURCE_DIR}/cmake/toolchains/*.cmake)
  string(REPLACE ".cmake" "" all "native;${files}")
  set(ECHORUN_ARCHIVE_TOOLCHAINS "" CACHE STRING
    "The toolchains to build archives with (native, names of cmake/toolchains files), or empty")
  set(unknown ${ECHORUN_ARCHIVE_TOOLCHAINS})
  list(REMOVE_ITEM unknown ${all})
  if(unknown)
    message(FATAL_ERROR "ECHORUN_ARCHIVE_TOOLCHAINS: no toolchain ${unknown} among ${all}")
  endif()
  echorun_archive_mtime(mtime)
  set(ECHORUN_ARCHIVES_MADE "")
  set(arches "")
  foreach(toolchain IN LISTS all)
    echorun_toolchain(${toolchain} arch compiler emulator prefix)
    find_program(found_${toolchain} ${compiler})
    if(arch IN_LIST arches OR ECHORUN_ARCHIVE_TOOLCHAINS
        AND NOT toolchain IN_LIST ECHORUN_ARCHIVE_TOOLCHAINS)
      continue()
    elseif(NOT found_${toolchain} AND ECHORUN_ARCHIVE_TOOLCHAINS)
      message(FATAL_ERROR "No ${compiler} for the ${arch} archive (Debian: dpkg "
        "--add-architecture ${arch}, then apt-get install g++-${toolchain} musl-dev:${arch})")
    elseif(NOT found_${toolchain})
      message(STATUS "echorun: no ${arch} archive: no ${compiler}")
      continue()
    endif()
    list(APPEND arches ${arch})
    list(APPEND ECHORUN_ARCHIVES_MADE ${toolchain})
    set(args -DCMAKE_CXX_COMPILER=${compiler})
    if(NOT toolchain STREQUAL "native")
      set(args -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchains/${toolchain}.cmake)
    endif()
    set(name echorun-${PROJECT_VERSION}-linux-${arch}.tar.gz)
    list(APPEND archives ${name})
    # Run each time, its own Ninja deciding what to rebuild; its output is shown when it fails,
    # since the sub-builds run side by side.
    ExternalProject_Add(archive-${arch}
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${PROJECT_BINARY_DIR}/${arch}
      PREFIX ${PROJECT_BINARY_DIR}/${arch}/external
      CMAKE_ARGS ${args} -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
        -DECHORUN_BUILD=musl-static -DECHORUN_ARCHIVE_DIR=${PROJECT_BINARY_DIR}
        -DECHORUN_ARCHIVE_MTIME=${mtime}
      BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target archive
      BUILD_ALWAYS ON
      BUILD_BYPRODUCTS ${PROJECT_BINARY_DIR}/${name}
      INSTALL_COMMAND ""
      LOG_CONFIGURE ON LOG_BUILD ON LOG_OUTPUT_ON_FAILURE ON)
  endforeach()
  if(NOT archives)
    message(FATAL_ERROR "No compiler for any archive was found")
  endif()
  # Sorted names, in the form sha256sum -c reads, written whole or not at all.
  list(SORT archives)
  add_custom_command(OUTPUT SHA256SUMS
    COMMAND sh -c [[sha256sum -- "$@" >SHA256SUMS.new && mv SHA256SUMS.new SHA256SUMS]]
      sha256sum ${archives}
    DEPENDS ${archives}
    COMMENT "Writing SHA256SUMS"
    VERBATIM)
  add_custom_target(sha256sums ALL DEPENDS SHA256SUMS)
  return()
endif()

# Only a static build runs on any Linux of its architecture.
if(NOT ECHORUN_BUILD_USED MATCHES "static")
  add_custom_target(archive COMMAND echo "The archive holds a static build: configure with "
    "-DECHORUN_BUILD=auto" COMMAND false VERBATIM)
  return()
endif()

# The notices that the licences of the C library and of GCC's runtime ask to travel with a
# static copy of them: the build machine's documents, outside a cross build's find root.
set(notices ${CMAKE_CURRENT_BINARY_DIR}/notices)
configure_file(${PROJECT_SOURCE_DIR}/doc/NOTICE.libgcc ${notices}/NOTICE.libgcc COPYONLY)
set(wanted NOTICE.libgcc)
if(ECHORUN_BUILD_USED MATCHES "^musl")
  find_file(ECHORUN_MUSL_COPYRIGHT NAMES copyright COPYRIGHT NO_DEFAULT_PATH
    NO_CMAKE_FIND_ROOT_PATH PATHS /usr/share/doc/musl-dev /usr/share/doc/musl /usr/lib/musl
    DOC "musl's copyright notice, shipped with a static echorun")
  set(found COPYRIGHT.musl=${ECHORUN_MUSL_COPYRIGHT})
else()
  find_file(ECHORUN_LGPL_TEXT NAMES LGPL-2.1 COPYING.LIB NO_DEFAULT_PATH
    NO_CMAKE_FIND_ROOT_PATH PATHS /usr/share/common-licenses
    DOC "The text of the LGPL 2.1, shipped with a static echorun")
  find_file(ECHORUN_GLIBC_COPYRIGHT NAMES copyright NO_DEFAULT_PATH
    NO_CMAKE_FIND_ROOT_PATH PATHS /usr/share/doc/libc6-dev /usr/share/doc/libc6
    DOC "glibc's copyright notices, shipped with a static echorun")
  set(found LGPL-2.1=${ECHORUN_LGPL_TEXT} COPYRIGHT.glibc=${ECHORUN_GLIBC_COPYRIGHT})
  configure_file(${PROJECT_SOURCE_DIR}/doc/NOTICE.glibc.in ${notices}/NOTICE.glibc @ONLY)
  list(APPEND wanted NOTICE.glibc)
endif()
set(missing "")
foreach(pair IN LISTS found)
  string(REGEX REPLACE "=.*" "" notice ${pair})
  string(REGEX REPLACE "^[^=]*=" "" file ${pair})
  if(file)
    configure_file(${file} ${notices}/${notice} COPYONLY)
    list(APPEND wanted ${notice})
  else()
    list(APPEND missing ${notice})
  endif()
endforeach()
list(SORT wanted)
list(TRANSFORM wanted PREPEND ${notices}/)
# Whoever copies an installed static echorun copies the code these are for.
install(FILES ${wanted} DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The objects echorun was linked from, one a line: the stripped binary has no symbols left to
# judge its stack protector by, its objects do.
string(REGEX REPLACE "-.*" "" libc ${ECHORUN_BUILD_USED})
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/archive-objects CONTENT
  "$<JOIN:$<TARGET_OBJECTS:echorun-objects-${libc}>,\n>\n")

if(NOT ECHORUN_ARCH AND CMAKE_CROSSCOMPILING)
  set(ECHORUN_ARCH ${CMAKE_SYSTEM_PROCESSOR})
elseif(NOT ECHORUN_ARCH)
  echorun_toolchain(native ECHORUN_ARCH compiler emulator prefix)
endif()
set(ECHORUN_ARCHIVE_DIR ${PROJECT_BINARY_DIR} CACHE PATH "Where the archive target writes")
if(NOT DEFINED ECHORUN_ARCHIVE_MTIME)
  echorun_archive_mtime(ECHORUN_ARCHIVE_MTIME)
endif()
set(name echorun-${PROJECT_VERSION}-linux-${ECHORUN_ARCH})
set(ECHORUN_ARCHIVE ${ECHORUN_ARCHIVE_DIR}/${name}.tar.gz)
set(stage ${PROJECT_BINARY_DIR}/archive-stage)
if(missing)
  # Shipping the binary without a notice its licence requires is no option.
  add_custom_target(archive COMMAND echo "The archive needs the notices ${missing}: install "
    "the C library's -dev package, or name them (ECHORUN_*_COPYRIGHT)" COMMAND false VERBATIM)
  return()
endif()
add_custom_command(OUTPUT ${ECHORUN_ARCHIVE}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}/${name}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:echorun> ${PROJECT_SOURCE_DIR}/doc/echorun.1
    ${PROJECT_SOURCE_DIR}/LICENSE ${wanted} ${stage}/${name}
  # No symbol table and no compiler version strings, as Debian ships it.
  COMMAND ${CMAKE_OBJCOPY} --strip-all --remove-section=.comment ${stage}/${name}/echorun
  COMMAND tar --create --file ${stage}/${name}.tar --directory=${stage}
    --sort=name --format=gnu --owner=0 --group=0 --numeric-owner --mode=u=rwX,go=rX
    --mtime=${ECHORUN_ARCHIVE_MTIME} ${name}
  COMMAND ${GZIP_EXECUTABLE} -9n -c ${stage}/${name}.tar > ${ECHORUN_ARCHIVE}
  DEPENDS echorun ${wanted}
  COMMENT "Packing ${name}.tar.gz"
  VERBATIM)
add_custom_target(archive DEPENDS ${ECHORUN_ARCHIVE})
