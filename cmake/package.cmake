# SPDX-License-Identifier: MIT
# The Debian package: cpack in a glibc-dynamic tree (deb preset) writes echorun_VERSION_ARCH.deb,
# what `cmake --install` installs under /usr, Depends from dpkg-shlibdeps.  cpack reads this
# file again first, to refuse a static tree (lintian rejects a static program) and to find
# dpkg-shlibdeps and file, without which CPack would quietly leave Depends out.
if(CPACK_ECHORUN_BUILD)
  if(NOT CPACK_ECHORUN_BUILD STREQUAL "glibc-dynamic")
    message(FATAL_ERROR "The Debian package holds the glibc-dynamic build, not "
      "${CPACK_ECHORUN_BUILD}: -DECHORUN_BUILD=glibc-dynamic (the deb preset) makes it")
  endif()
  find_program(DPKG_SHLIBDEPS_EXECUTABLE dpkg-shlibdeps)
  find_program(FILE_EXECUTABLE file)
  if(NOT DPKG_SHLIBDEPS_EXECUTABLE OR NOT FILE_EXECUTABLE)
    message(FATAL_ERROR "The package's Depends need dpkg-shlibdeps and file: "
      "apt-get install dpkg-dev file")
  endif()
  return()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME echorun)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Plain paragraphs: CPack indents each line and turns the blank line into the " ." that Debian's
# Description field needs.
set(CPACK_PACKAGE_DESCRIPTION [[
echorun runs one shell command line with /bin/sh -c after setting SIGPIPE,
SIGINT, SIGHUP, SIGQUIT and SIGCHLD back to their default dispositions, so
that a signal its parent left ignored (a runtime that ignores SIGPIPE,
nohup, a background job, a daemon) is not ignored by the command too.

It writes the command line to standard output before running it, so that a
log or a terminal shows what ran, then waits for the shell and exits.]])

# Signed as dch signs, or with an address that delivers nowhere (RFC 2606).
if("$ENV{DEBFULLNAME}" STREQUAL "" OR "$ENV{DEBEMAIL}" STREQUAL "")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "echorun maintainers <maintainers@echorun.invalid>")
else()
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "$ENV{DEBFULLNAME} <$ENV{DEBEMAIL}>")
endif()
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Debian's name for the machine the compiler builds for, which dpkg's may not be.
set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${ECHORUN_ARCH})
# CPack makes the parent directories itself, 0775 under a group-writable umask, which Debian
# does not ship.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
  GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_ECHORUN_BUILD ${ECHORUN_BUILD_USED})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_FILE})

# strip keeps .comment, the compilers' version strings: of no use at run time, they tie the
# bytes to the compiler's build.  Debian drops them.
install(CODE "execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/echorun\" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR \"objcopy could not remove .comment from echorun\")
endif()")
include(CPack)
