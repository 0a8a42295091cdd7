# SPDX-License-Identifier: MIT
# The Debian package: cpack in a glibc-dynamic tree (build/deb) writes
# echorun_VERSION_ARCH.deb, what `cmake --install` installs under /usr,
# with Depends from dpkg-shlibdeps.  Debian ships programs linked to its
# C library: no other tree is packaged.  cpack reads this file again first,
# to find dpkg-shlibdeps and file, without which CPack would quietly leave
# Depends out.
if(CPACK_ECHORUN_PACKAGE)
  find_program(DPKG_SHLIBDEPS_EXECUTABLE dpkg-shlibdeps)
  find_program(FILE_EXECUTABLE file)
  if(NOT DPKG_SHLIBDEPS_EXECUTABLE OR NOT FILE_EXECUTABLE)
    message(FATAL_ERROR "The package's Depends need dpkg-shlibdeps and "
      "file: apt-get install dpkg-dev file")
  endif()
  return()
elseif(NOT ECHORUN_BUILD_USED STREQUAL "glibc-dynamic")
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME echorun)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Plain paragraphs: CPack indents each line and turns the blank line into
# the " ." that Debian's Description field needs.
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/doc/description)

# Signed as dch signs, or with an address that delivers nowhere (RFC 2606).
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
  "echorun maintainers <maintainers@echorun.invalid>")
if(NOT "$ENV{DEBFULLNAME}" STREQUAL "" AND NOT "$ENV{DEBEMAIL}" STREQUAL "")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Debian's name for the machine the compiler builds for, which dpkg's may
# not be.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${ECHORUN_ARCH})
# CPack makes the parent directories itself, 0775 under a group-writable
# umask, which Debian does not ship.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE
  WORLD_READ WORLD_EXECUTE)
set(CPACK_ECHORUN_PACKAGE ON)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_FILE})
include(CPack)
