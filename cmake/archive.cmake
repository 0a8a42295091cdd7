# SPDX-License-Identifier: MIT
# The static archive: the `archive` target of a static build writes
# echorun-VERSION-linux-ARCH.tar.gz into ECHORUN_ARCHIVE_DIR (the top of
# the build tree unless set), one directory of that name holding the
# stripped binary, its manual page, LICENSE, and the licence notices of
# the C library and the compiler's runtime pieces that the link copied
# into the binary.  ARCH is Debian's name for the target's architecture
# (archive_name.cmake): the binary needs no distribution, but Debian's
# names tell armel from armhf, which the kernel's do not.
#
# The bytes depend on the sources alone: names sorted, owner root, modes
# 0755/0644, every time stamp ECHORUN_ARCHIVE_MTIME (by default the
# CHANGELOG's latest entry, or SOURCE_DATE_EPOCH when set at configure
# time), gzip without name or time.
#
# With testing on, the archive is checked as it ships: see
# tests/archive.cmake.
include(${CMAKE_CURRENT_LIST_DIR}/archive_name.cmake)

set(ECHORUN_ARCHIVE_DIR ${PROJECT_BINARY_DIR} CACHE PATH
  "Where the archive target writes the static archive")
set(ECHORUN_ARCHIVE_LIBC "" CACHE STRING
  "The C library the archive must hold, or empty for the one echorun links")

if(NOT ECHORUN_STATIC)
  # Only the static build runs on any Linux of its architecture.
  add_custom_target(archive
    COMMAND ${CMAKE_COMMAND} -E echo "The archive holds the static build: "
      "configure without -DECHORUN_STATIC=OFF."
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
  return()
endif()

find_program(TAR_EXECUTABLE NAMES gtar tar)
find_program(GZIP_EXECUTABLE gzip REQUIRED)

set(echorun_native TRUE)
if(CMAKE_CROSSCOMPILING)
  set(echorun_native FALSE)
endif()
echorun_archive_name(echorun_archive_name ${CMAKE_CXX_COMPILER}
  ${echorun_native})
string(REGEX REPLACE ".*-linux-" "" echorun_archive_arch ${echorun_archive_name})

if(ECHORUN_ARCHIVE_LIBC AND NOT ECHORUN_ARCHIVE_LIBC STREQUAL ECHORUN_LIBC_USED)
  set(hint "")
  if(ECHORUN_ARCHIVE_LIBC STREQUAL "musl")
    # Debian's musl for another architecture installs beside the native
    # one, once dpkg takes that architecture's packages.
    set(hint "apt-get install musl-dev")
    if(CMAKE_CROSSCOMPILING)
      set(hint "dpkg --add-architecture ${echorun_archive_arch} && "
        "apt-get update && apt-get install musl-dev:${echorun_archive_arch}")
    endif()
    string(CONCAT hint " (Debian: " ${hint} ")")
  endif()
  message(FATAL_ERROR "The ${echorun_archive_arch} archive holds "
    "${ECHORUN_ARCHIVE_LIBC}, but no ${ECHORUN_ARCHIVE_LIBC} was found that "
    "links a static echorun with ${CMAKE_CXX_COMPILER}${hint}")
endif()
set(echorun_archive ${ECHORUN_ARCHIVE_DIR}/${echorun_archive_name}.tar.gz)
set(echorun_stage ${PROJECT_BINARY_DIR}/archive-stage)
set(echorun_notices ${CMAKE_CURRENT_BINARY_DIR}/archive-notices)

# The tree of every architecture's archives dates them all alike.
if(NOT DEFINED ECHORUN_ARCHIVE_MTIME)
  echorun_archive_mtime(ECHORUN_ARCHIVE_MTIME)
endif()

# Every static binary carries libgcc's helpers and GCC's start files.
file(WRITE ${echorun_notices}/NOTICE.libgcc [[
echorun is linked with pieces of GCC's runtime: its support library
libgcc (with libgcc_eh, when linked with glibc) and its start files
crtbegin and crtend.  They are licensed under the GNU GPL version 3 with
the GCC Runtime Library Exception, which lets a program compiled by GCC
combine them with code under any licence: they impose no condition on
echorun or on anyone who redistributes it.
]])
set(echorun_notice_files ${echorun_notices}/NOTICE.libgcc)
set(echorun_notice_missing)

# The notices are documents of the build machine's packages, which a cross
# build's find root (the target's libraries and headers) does not hold.

if(ECHORUN_LIBC_USED STREQUAL "musl")
  # musl is MIT-licensed: its copyright notice must travel with the binary.
  # Debian's musl packages carry it; elsewhere, point this at musl's
  # COPYRIGHT file.
  find_file(ECHORUN_MUSL_COPYRIGHT NAMES copyright COPYRIGHT
    PATHS /usr/share/doc/musl-dev /usr/share/doc/musl /usr/lib/musl
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
    DOC "musl's copyright notice, shipped in the static archive")
  if(ECHORUN_MUSL_COPYRIGHT)
    configure_file(${ECHORUN_MUSL_COPYRIGHT} ${echorun_notices}/COPYRIGHT.musl
      COPYONLY)
    list(APPEND echorun_notice_files ${echorun_notices}/COPYRIGHT.musl)
  else()
    set(echorun_notice_missing "musl's copyright notice (set ECHORUN_MUSL_COPYRIGHT)")
  endif()
elseif(ECHORUN_LIBC_USED STREQUAL "glibc")
  # glibc is LGPL: a static copy must come with the licence and with the
  # means to relink echorun against a modified C library.
  find_file(ECHORUN_LGPL_TEXT NAMES LGPL-2.1 COPYING.LIB
    PATHS /usr/share/common-licenses NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
    DOC "The text of the LGPL 2.1, shipped in the static archive")
  if(ECHORUN_LGPL_TEXT)
    configure_file(${ECHORUN_LGPL_TEXT} ${echorun_notices}/LGPL-2.1 COPYONLY)
    list(APPEND echorun_notice_files ${echorun_notices}/LGPL-2.1)
  else()
    set(echorun_notice_missing "the LGPL 2.1 text (set ECHORUN_LGPL_TEXT)")
  endif()
  # Parts of glibc come under other licences (BSD, ISC, Sun's), some of
  # which want their notices reproduced; Debian's copyright file for the
  # package that ships libc.a collects them all.
  find_file(ECHORUN_GLIBC_COPYRIGHT NAMES copyright
    PATHS /usr/share/doc/libc6-dev /usr/share/doc/libc6
    NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
    DOC "glibc's copyright notices, shipped in the static archive")
  if(ECHORUN_GLIBC_COPYRIGHT)
    configure_file(${ECHORUN_GLIBC_COPYRIGHT}
      ${echorun_notices}/COPYRIGHT.glibc COPYONLY)
    list(APPEND echorun_notice_files ${echorun_notices}/COPYRIGHT.glibc)
  else()
    set(echorun_notice_missing
      "glibc's copyright notices (set ECHORUN_GLIBC_COPYRIGHT)")
  endif()
  file(WRITE ${echorun_notices}/NOTICE.glibc "\
echorun ${PROJECT_VERSION} is linked statically with the GNU C Library, which
is licensed under the GNU Lesser General Public License, version 2.1 or
later: its text is in the file LGPL-2.1 beside this one, and the notices
of the parts under other licences are in COPYRIGHT.glibc.

You may relink echorun against a modified C library.  Its complete source
is MIT-licensed (see LICENSE) and is distributed from the same place as
this archive.  With that C library installed as the compiler's default,
build the same static executable from the source with:

    cmake --preset release -DECHORUN_LIBC=glibc
    cmake --build --preset release

which writes build/release/echorun.
")
  list(APPEND echorun_notice_files ${echorun_notices}/NOTICE.glibc)
else()
  set(echorun_notice_missing
    "the notices of C library '${ECHORUN_LIBC_USED}', which this file does not know")
endif()

list(SORT echorun_notice_files)
# Installed too: whoever copies an installed static echorun copies the
# code these notices are for.
install(FILES ${echorun_notice_files} DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(echorun_archive_files
  $<TARGET_FILE:echorun>
  ${PROJECT_SOURCE_DIR}/doc/echorun.1
  ${PROJECT_SOURCE_DIR}/LICENSE
  ${echorun_notice_files})

# The objects echorun was linked from, one a line: the stripped binary has
# no symbols left to find its stack protector's calls by, its objects do.
list(GET ECHORUN_BUILDS 0 echorun_installed)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/archive-objects
  CONTENT "$<JOIN:$<TARGET_OBJECTS:${ECHORUN_OBJECTS_${echorun_installed}}>,\n>\n")

if(BUILD_TESTING)
  include(${PROJECT_SOURCE_DIR}/tests/archive.cmake)
  echorun_archive_tests(archive ARCHIVE ${echorun_archive}
    BUILD_DIR ${PROJECT_BINARY_DIR} LIBC ${ECHORUN_LIBC_USED}
    READELF ${CMAKE_READELF} NM ${CMAKE_NM}
    EMULATOR ${CMAKE_CROSSCOMPILING_EMULATOR})
endif()

if(NOT TAR_EXECUTABLE)
  set(echorun_notice_missing "GNU tar (Debian: tar)")
endif()
if(echorun_notice_missing)
  # Shipping the binary without a notice its licence requires is not an
  # option; the build says what is missing instead.
  add_custom_target(archive
    COMMAND ${CMAKE_COMMAND} -E echo "The archive needs ${echorun_notice_missing}."
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
  return()
endif()

set(echorun_top ${echorun_stage}/${echorun_archive_name})
add_custom_command(OUTPUT ${echorun_archive}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${echorun_stage} ${echorun_archive}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${echorun_top}
  COMMAND ${CMAKE_COMMAND} -E copy ${echorun_archive_files} ${echorun_top}
  # No symbol table and no compiler version strings, as Debian ships it.
  COMMAND ${CMAKE_OBJCOPY} --strip-all --remove-section=.comment
    ${echorun_top}/$<TARGET_FILE_NAME:echorun>
  COMMAND ${TAR_EXECUTABLE} --create --file ${echorun_top}.tar
    --directory=${echorun_stage} --sort=name --format=gnu --owner=0 --group=0 --numeric-owner
    --mode=u=rwX,go=rX --mtime=${ECHORUN_ARCHIVE_MTIME}
    ${echorun_archive_name}
  COMMAND ${GZIP_EXECUTABLE} -9n ${echorun_top}.tar
  COMMAND ${CMAKE_COMMAND} -E copy ${echorun_top}.tar.gz ${echorun_archive}
  DEPENDS echorun ${echorun_archive_files}
  COMMENT "Packing ${echorun_archive_name}.tar.gz"
  VERBATIM)
add_custom_target(archive DEPENDS ${echorun_archive})
