# SPDX-License-Identifier: MIT
# Checks of a static archive as it ships, for any architecture: its
# contents and the ELF file it holds (archive_test.sh, which also unpacks
# it), the hardening check of the stripped binary, and the smoke tests
# (smoke.cmake) of the unpacked binary, under the target's emulator when
# there is one.
#
# echorun_archive_tests(PREFIX ARCHIVE FILE BUILD_DIR DIR LIBC LIBC
#   READELF PATH NM PATH [EMULATOR COMMAND...]) adds PREFIX/contents,
# PREFIX/hardening and the smoke tests PREFIX/NAME.  BUILD_DIR is the
# build tree whose `archive` target packs FILE, with the list of echorun's
# objects in BUILD_DIR/archive-objects.
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
