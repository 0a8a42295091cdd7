# SPDX-License-Identifier: MIT
# Debian package of echorun, built by CPack: `cpack` in a build tree, the
# `package` target, or `cmake --workflow --preset deb` writes
# echorun_<version>_<arch>.deb.  It holds what `cmake --install` installs,
# under /usr: the binary, its manual page, and in /usr/share/doc/echorun
# the machine-readable copyright file and the changelog.
#
# The `deb` preset links echorun to the shared C library, as Debian wants,
# and dpkg-shlibdeps derives Depends from what the binary needs.  A static
# build (the default) is packaged too, with no Depends.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME echorun)
set(CPACK_PACKAGE_VENDOR "echorun maintainers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Plain paragraphs: CPack indents each line and turns the blank line into
# the " ." that Debian's Description field needs.
set(CPACK_PACKAGE_DESCRIPTION [[
echorun runs one shell command line with /bin/sh -c after setting SIGPIPE,
SIGINT, SIGHUP, SIGQUIT and SIGCHLD back to their default dispositions, so
that a signal its parent left ignored (a runtime that ignores SIGPIPE,
nohup, a background job, a daemon) is not ignored by the command too.

It writes the command line to standard output before running it, so that a
log or a terminal shows what ran, then waits for the shell and exits.]])

# Whoever builds the package signs it, as dch and debuild do: DEBFULLNAME
# and DEBEMAIL when both are set.  Otherwise the project's own name, with
# the address its commits use: .invalid is reserved (RFC 2606) and delivers
# nowhere, so it names no person and promises no mailbox.
if(DEFINED ENV{DEBFULLNAME} AND DEFINED ENV{DEBEMAIL}
    AND NOT "$ENV{DEBFULLNAME}" STREQUAL "" AND NOT "$ENV{DEBEMAIL}" STREQUAL "")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
else()
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER
    "echorun maintainers <maintainers@echorun.invalid>")
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# echorun_1.0.0_<arch>.deb, named as dpkg-deb names packages.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Debian ships binaries stripped.
set(CPACK_STRIP_FILES ON)
# CPack creates the parent directories itself; with a group-writable umask
# they would be 0775, which Debian does not ship.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The architecture is the target's.  A native build leaves it to CPack,
# which asks dpkg.  A cross build asks dpkg-architecture for the Debian
# name of the target's multiarch triplet; without one (or without
# dpkg-architecture) it falls back to dpkg's answer, which then names the
# build machine and must be set by hand (CPACK_DEBIAN_PACKAGE_ARCHITECTURE).
if(CMAKE_CROSSCOMPILING AND CMAKE_LIBRARY_ARCHITECTURE)
  find_program(DPKG_ARCHITECTURE_EXECUTABLE dpkg-architecture)
  if(DPKG_ARCHITECTURE_EXECUTABLE)
    execute_process(
      COMMAND ${DPKG_ARCHITECTURE_EXECUTABLE} -t ${CMAKE_LIBRARY_ARCHITECTURE}
        -qDEB_HOST_ARCH
      OUTPUT_VARIABLE echorun_deb_arch OUTPUT_STRIP_TRAILING_WHITESPACE
      ERROR_QUIET RESULT_VARIABLE echorun_deb_arch_result)
    if(echorun_deb_arch_result EQUAL 0 AND echorun_deb_arch)
      set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${echorun_deb_arch})
    endif()
  endif()
endif()

# A package without its Depends would install anywhere and fail at run
# time, yet CPack leaves the field out quietly when dpkg-shlibdeps is
# missing, and stops without naming a package when file is: the check runs
# when packaging starts.
if(NOT ECHORUN_STATIC)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/package_tools.cmake)
endif()

# GCC and the C runtime's start files each leave their version string in a
# .comment section, which strip keeps and Debian removes: it is of no use at
# run time and makes the bytes depend on the compiler's exact build.  This
# runs for every install, after the binary's own install rule.
if(CMAKE_OBJCOPY)
  install(CODE "
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:echorun>\"
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR \"objcopy could not remove .comment from echorun\")
    endif()")
endif()

include(CPack)

# The static build's other release, the archive: `archive` target.
include(${CMAKE_CURRENT_LIST_DIR}/archive.cmake)
