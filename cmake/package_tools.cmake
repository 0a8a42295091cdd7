# SPDX-License-Identifier: MIT
# Read by cpack before it packages the dynamic build: the tools that compute
# the package's Depends must be there, or the package is not made.
find_program(DPKG_SHLIBDEPS_EXECUTABLE dpkg-shlibdeps)
find_program(FILE_EXECUTABLE file)
if(NOT DPKG_SHLIBDEPS_EXECUTABLE OR NOT FILE_EXECUTABLE)
  message(FATAL_ERROR "The package's dependencies are computed with "
    "dpkg-shlibdeps and file: apt-get install dpkg-dev file")
endif()
