# SPDX-License-Identifier: MIT
# The black-box suite, run against every build of echorun in this tree, each
# under its label (musl-static/Texts/Echo...) with ECHORUN_BINARY naming the
# binary.  Discovery runs when the tests do, so building runs no test.

# The fault tests have libseccomp write their seccomp filters.
find_package(PkgConfig)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(LIBSECCOMP IMPORTED_TARGET libseccomp)
endif()
if(NOT LIBSECCOMP_FOUND)
  message(FATAL_ERROR
    "The tests need libseccomp, found through pkg-config.  Install both "
    "(Debian: apt-get install libseccomp-dev pkgconf) or configure with "
    "-DBUILD_TESTING=OFF to build echorun alone.")
endif()

# Stands in for /bin/sh in a private mount namespace, to report exactly
# what echorun handed to the shell.
add_executable(probe_shell harness/probe_shell.cpp)
add_executable(echorun_tests
  echorun_test.cpp faults_test.cpp load_test.cpp output_test.cpp
  shells_test.cpp terminal_test.cpp
  harness/files.cpp harness/launch.cpp harness/namespace.cpp
  harness/syscalls_fail.cpp)
target_include_directories(echorun_tests PRIVATE harness)
target_compile_definitions(echorun_tests PRIVATE
  ECHORUN_PATH="$<TARGET_FILE:echorun>"
  PROBE_SHELL_PATH="$<TARGET_FILE:probe_shell>"
  SHELLS_PATH="${CMAKE_CURRENT_SOURCE_DIR}/shells")
target_link_libraries(echorun_tests PRIVATE PkgConfig::LIBSECCOMP
  GTest::gtest_main)
add_dependencies(echorun_tests echorun probe_shell)

# They take the project's options, the sanitizers included.  They wait on
# processes, not on the processor, so -O1 is for the time they take to build.
foreach(target IN ITEMS probe_shell echorun_tests)
  target_link_libraries(${target} PRIVATE echorun_options)
  target_compile_options(${target} PRIVATE -O1)
endforeach()

foreach(build IN LISTS ECHORUN_BUILDS)
  if(TARGET echorun-${build})
    add_dependencies(echorun_tests echorun-${build})
  endif()
  gtest_discover_tests(echorun_tests
    TEST_PREFIX ${build}/
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 30
    PROPERTIES TIMEOUT 120 ENVIRONMENT "ECHORUN_BINARY=${ECHORUN_BUILD_${build}}")
endforeach()
