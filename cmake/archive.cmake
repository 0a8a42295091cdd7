# SPDX-License-Identifier: MIT
# The static archive, and the set of them.  In a musl-static tree, the `archive` target writes
# echorun-VERSION-linux-ARCH.tar.gz (ARCH is Debian's name): the stripped binary, its manual
# page, LICENSE and the notices of what the link copied into it, in bytes that depend on the
# sources alone.  With ECHORUN_ARCHIVES, each toolchain whose compiler is installed ("native",
# each file of cmake/toolchains, or those ECHORUN_ARCHIVE_TOOLCHAINS requires) builds its
# archive in a tree of its own, and SHA256SUMS covers them.

# Toolchain NAME's machine (Debian's name), COMPILER, EMULATOR and binutils' PREFIX, read in this
# function's scope so that nothing the toolchain file sets reaches this tree's build.
function(echorun_toolchain name arch_out compiler_out emulator_out prefix_out)
  set(CMAKE_CROSSCOMPILING_EMULATOR "")
  set(echorun_triplet "")
  set(arch ${ECHORUN_ARCH})
  if(NOT name STREQUAL "native")
    include(${PROJECT_SOURCE_DIR}/cmake/toolchains/${name}.cmake)
    echorun_machine(${echorun_triplet} musl arch)
    set(echorun_triplet ${echorun_triplet}-)
  endif()
  set(${arch_out} ${arch} PARENT_SCOPE)
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

# Only a static build runs on any Linux of its architecture, and only musl's licence, MIT, asks
# no more than its notice of whoever passes a copy on: glibc's, the LGPL, would ask for its
# source or a written offer of it beside every archive.
if(NOT ECHORUN_BUILD_USED STREQUAL "musl-static")
  add_custom_target(archive COMMAND echo "The archive holds the musl-static build, not \
${ECHORUN_BUILD_USED}: configure with -DECHORUN_BUILD=musl-static (Debian: apt-get install \
musl-dev)" COMMAND false VERBATIM)
  return()
endif()

# The notices that the licences of musl and of GCC's runtime ask to travel with a static copy of
# them: the build machine's documents, outside a cross build's find root.
set(notices ${CMAKE_CURRENT_BINARY_DIR}/notices)
find_file(ECHORUN_MUSL_COPYRIGHT NAMES copyright COPYRIGHT NO_DEFAULT_PATH
  NO_CMAKE_FIND_ROOT_PATH PATHS /usr/share/doc/musl-dev /usr/share/doc/musl /usr/lib/musl
  DOC "musl's copyright notice, shipped with a static echorun")
if(NOT ECHORUN_MUSL_COPYRIGHT)
  # Shipping the binary without the notice its licence requires is no option.
  add_custom_target(archive COMMAND echo "The archive needs musl's copyright notice: install \
musl-dev, or name it (ECHORUN_MUSL_COPYRIGHT)" COMMAND false VERBATIM)
  return()
endif()
configure_file(${ECHORUN_MUSL_COPYRIGHT} ${notices}/COPYRIGHT.musl COPYONLY)
configure_file(${PROJECT_SOURCE_DIR}/doc/NOTICE.libgcc ${notices}/NOTICE.libgcc COPYONLY)
set(wanted ${notices}/COPYRIGHT.musl ${notices}/NOTICE.libgcc)
# Whoever copies an installed static echorun copies the code these are for.
install(FILES ${wanted} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(ECHORUN_ARCHIVE_DIR ${PROJECT_BINARY_DIR} CACHE PATH "Where the archive target writes")
if(NOT DEFINED ECHORUN_ARCHIVE_MTIME)
  echorun_archive_mtime(ECHORUN_ARCHIVE_MTIME)
endif()
set(name echorun-${PROJECT_VERSION}-linux-${ECHORUN_ARCH})
set(ECHORUN_ARCHIVE ${ECHORUN_ARCHIVE_DIR}/${name}.tar.gz)
set(stage ${PROJECT_BINARY_DIR}/archive-stage)
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
