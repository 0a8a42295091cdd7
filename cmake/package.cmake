# SPDX-License-Identifier: MIT
# Debian package of echorun, built by CPack: `cpack` in a build tree, or the
# `package` target, writes echorun_<version>_<arch>.deb.  It holds what
# `cmake --install` installs, under /usr.
#
# The static default build needs nothing at run time, so the package has no
# Depends; the dynamic build (ECHORUN_STATIC=OFF) gets its libc6 dependency
# from dpkg-shlibdeps, as Debian's own packages do.

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

# The project has a name but no mailing address.  Debian policy wants
# "Name <address>" here; dpkg and apt accept a name alone.  An address made
# up to satisfy the form would send bug reports nowhere, so none is given.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "echorun maintainers")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# echorun_1.0.0_amd64.deb, named as dpkg-deb names packages.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Debian ships binaries stripped.
set(CPACK_STRIP_FILES ON)

if(NOT ECHORUN_STATIC)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()

include(CPack)
