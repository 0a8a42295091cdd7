# SPDX-License-Identifier: MIT
# Read by cpack before it packs: a package holds the glibc-dynamic build,
# and its Depends, which CPack would leave out quietly, needs dpkg-shlibdeps
# and file.
if(NOT CPACK_ECHORUN_BUILD STREQUAL "glibc-dynamic")
  message(FATAL_ERROR "The Debian package holds the glibc-dynamic build, not "
    "${CPACK_ECHORUN_BUILD}: build it with cmake --workflow --preset deb, or "
    "configure with -DECHORUN_BUILD=glibc-dynamic")
endif()
find_program(DPKG_SHLIBDEPS_EXECUTABLE dpkg-shlibdeps)
find_program(FILE_EXECUTABLE file)
if(NOT DPKG_SHLIBDEPS_EXECUTABLE OR NOT FILE_EXECUTABLE)
  message(FATAL_ERROR "The package's Depends are computed with dpkg-shlibdeps and "
    "file: apt-get install dpkg-dev file")
endif()
