# SPDX-License-Identifier: MIT
# The packages, from what `cmake --install` installs under /usr.  cpack in
# a glibc-dynamic tree (build/deb) writes the Debian package,
# echorun_VERSION_ARCH.deb, with Depends from dpkg-shlibdeps: Debian ships
# programs linked to its C library.  In a musl-static tree it writes the
# RPM, echorun-VERSION-1.ARCH.rpm (ARCH is rpm's name): glibc 2.34's
# symbols would keep a glibc-dynamic one off RHEL 8 and openSUSE Leap 15.
# cpack reads this file again first, to refuse another tree and find the
# tools without which CPack would fail late or quietly leave Depends out.
if(CPACK_ECHORUN_BUILD)
  set(tree "${CPACK_GENERATOR}:${CPACK_ECHORUN_BUILD}")
  set(need dpkg-shlibdeps dpkg-dev)
  if(CPACK_GENERATOR STREQUAL "RPM")
    set(need rpmbuild rpm)
  endif()
  if(NOT tree MATCHES "^DEB:glibc-dynamic$|^RPM:musl-static$")
    message(FATAL_ERROR "A .deb holds the glibc-dynamic echorun and an RPM "
      "the musl-static one: this tree builds ${CPACK_ECHORUN_BUILD}")
  elseif(tree MATCHES "^RPM" AND CPACK_RPM_PACKAGE_ARCHITECTURE STREQUAL "-")
    message(FATAL_ERROR "${CPACK_DEBIAN_PACKAGE_ARCHITECTURE} has no rpm "
      "name in cmake/architectures: RPM distributions do not build for it")
  elseif(tree MATCHES "^RPM" AND
      CMAKE_VERSION VERSION_LESS CPACK_ECHORUN_RPM_CMAKE)
    message(FATAL_ERROR "CPack ${CMAKE_VERSION} writes empty scripts into "
      "an RPM, each requiring /bin/sh: use CMake "
      "${CPACK_ECHORUN_RPM_CMAKE} or later")
  endif()
  list(POP_FRONT need tool package)
  find_program(found ${tool} NO_CMAKE_SYSTEM_PATH)
  if(NOT found)
    message(FATAL_ERROR "The ${CPACK_GENERATOR} package needs ${tool}: "
      "apt-get install ${package}")
  endif()
  # rpm clamps every file's time and takes the build time from here.
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_ECHORUN_EPOCH})
  return()
endif()

# Every packed file's time, and the RPM's build time: SOURCE_DATE_EPOCH,
# else the date of the CHANGELOG's latest entry.
file(READ ${PROJECT_SOURCE_DIR}/CHANGELOG changelog)
set(ECHORUN_EPOCH $ENV{SOURCE_DATE_EPOCH})
if(NOT ECHORUN_EPOCH)
  string(REGEX MATCH "\n -- [^\n]*>  ([^\n]*)" trailer "${changelog}")
  execute_process(COMMAND date -d "${CMAKE_MATCH_1}" +%s
    OUTPUT_VARIABLE ECHORUN_EPOCH
    OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
if(NOT ECHORUN_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "No time for the packages' files: '${ECHORUN_EPOCH}'")
endif()

set(CPACK_ECHORUN_EPOCH ${ECHORUN_EPOCH})
set(CPACK_ECHORUN_BUILD ${ECHORUN_BUILD_USED})
# The oldest CPack known to leave empty scripts out (3.18 writes them).
set(CPACK_ECHORUN_RPM_CMAKE 3.25)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_FILE})
set(CPACK_GENERATOR DEB)
if(ECHORUN_BUILD_USED STREQUAL "musl-static")
  set(CPACK_GENERATOR RPM)
endif()
# Plain paragraphs: CPack indents each line and turns the blank line into
# the " ." that Debian's Description field needs; rpm takes them as they
# are.
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/doc/description)
set(CPACK_STRIP_FILES ON)
# CPack makes the parent directories itself, 0775 under a group-writable
# umask, which neither kind of package ships.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)

# Signed as dch signs, or with an address that delivers nowhere (RFC 2606).
set(maintainer "echorun maintainers <maintainers@echorun.invalid>")
if(NOT "$ENV{DEBFULLNAME}" STREQUAL "" AND NOT "$ENV{DEBEMAIL}" STREQUAL "")
  set(maintainer "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
endif()

set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${maintainer})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Debian's name for the machine the compiler builds for, which dpkg's may
# not be.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${ECHORUN_ARCH})

set(CPACK_PACKAGE_VENDOR "echorun maintainers")
set(CPACK_RPM_PACKAGE_LICENSE MIT)
set(CPACK_RPM_PACKAGE_ARCHITECTURE ${ECHORUN_RPM_ARCH})
set(CPACK_RPM_FILE_NAME RPM-DEFAULT)
# A static echorun needs nothing, though rpm would find it rtld(GNU_HASH).
set(CPACK_RPM_PACKAGE_AUTOREQ OFF)
# Owned by the system's filesystem package.
set(CPACK_RPM_EXCLUDE_FROM_AUTO_FILELIST_ADDITION
  /usr/share/man /usr/share/man/man1)
string(JOIN "\n" CPACK_RPM_SPEC_MORE_DEFINE
  "%define packager ${maintainer}"
  "%define _build_id_links none"
  "%define clamp_mtime_to_source_date_epoch 1"
  "%define use_source_date_epoch_as_buildtime 1")
# The changelog's entries in rpm's form: "* DAY MON DD YYYY WHO -
# VERSION-1", then each item as "- TEXT".
set(date "([A-Za-z]+), ([0-9]+) ([A-Za-z]+) ([0-9]+) [^\n]*")
string(REGEX REPLACE
  "echorun \\(([^)]*)\\)[^\n]*\n\n((  [^\n]*\n)+)\n -- ([^\n]*)  ${date}"
  "* \\5 \\7 \\6 \\8 \\4 - \\1-1\n\\2" changelog "${changelog}")
string(REPLACE "\n  * " "\n- " changelog "${changelog}")
string(REPLACE "\n    " "\n  " changelog "${changelog}")
set(CPACK_RPM_CHANGELOG_FILE ${PROJECT_BINARY_DIR}/rpm-changelog)
file(WRITE ${CPACK_RPM_CHANGELOG_FILE} "${changelog}")
include(CPack)
