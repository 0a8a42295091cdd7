# SPDX-License-Identifier: MIT
# Checks of a static archive as it ships, for any architecture:
# PREFIX/contents (archive_test.sh, which also unpacks it), PREFIX/hardening
# of the stripped binary, and the smoke tests PREFIX/NAME (smoke.cmake) of
# the unpacked binary, under EMULATOR when given.
#
# echorun_archive_tests(PREFIX ARCHIVE FILE BUILD_DIR DIR LIBC LIBC
#   READELF PATH NM PATH [EMULATOR COMMAND...]): BUILD_DIR's `archive`
# target packs FILE and lists echorun's objects in BUILD_DIR/archive-objects.
include(${CMAKE_CURRENT_LIST_DIR}/smoke.cmake)
set(echorun_tests_dir ${CMAKE_CURRENT_LIST_DIR})

function(echorun_archive_tests prefix)
  cmake_parse_arguments(PARSE_ARGV 1 arg ""
    "ARCHIVE;BUILD_DIR;LIBC;READELF;NM" "EMULATOR")
  get_filename_component(name ${arg_ARCHIVE} NAME)
  string(REGEX REPLACE "\\.tar\\.gz$" "" name ${name})
  set(unpacked ${arg_BUILD_DIR}/archive-unpacked)
  set(binary ${unpacked}/${name}/echorun)
  set(tools "READELF=${arg_READELF};NM=${arg_NM}")

  add_test(NAME ${prefix}/contents
    COMMAND ${echorun_tests_dir}/archive_test.sh ${CMAKE_COMMAND}
      ${arg_BUILD_DIR} ${arg_ARCHIVE} ${arg_LIBC} ${unpacked})
  set_tests_properties(${prefix}/contents PROPERTIES
    TIMEOUT 120 ENVIRONMENT "${tools}" FIXTURES_SETUP ${prefix}/unpacked)

  add_test(NAME ${prefix}/hardening
    COMMAND xargs -a ${arg_BUILD_DIR}/archive-objects -d \\n
      ${echorun_tests_dir}/check_hardening.sh ${binary})
  set_tests_properties(${prefix}/hardening PROPERTIES
    TIMEOUT 60 ENVIRONMENT "${tools}" FIXTURES_REQUIRED ${prefix}/unpacked)

  echorun_smoke_tests(${prefix} ${binary} FIXTURE ${prefix}/unpacked
    EMULATOR ${arg_EMULATOR})
endfunction()
