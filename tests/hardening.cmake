# SPDX-License-Identifier: MIT
# The hardening check (check_hardening.sh) on every build of echorun in
# this tree, hardening/<label>, judging the stack protector from the
# objects that build was linked from; and on builds that each lack one
# protection, hardening/rejects/<name>, which it must turn down for that
# reason alone.  The tools are the target's binutils, as CMake found them,
# so a cross build is judged by the cross readelf and nm.
set(echorun_check_hardening ${CMAKE_CURRENT_SOURCE_DIR}/check_hardening.sh)
set(echorun_binutils "READELF=${CMAKE_READELF};NM=${CMAKE_NM}")
set(echorun_hardening_labels hardening)
set(echorun_hardening_tests)
if(CMAKE_CROSSCOMPILING)
  list(APPEND echorun_hardening_labels cross)
endif()

foreach(build IN LISTS ECHORUN_BUILDS)
  add_test(NAME hardening/${build}
    COMMAND ${echorun_check_hardening} ${ECHORUN_BUILD_${build}}
      $<TARGET_OBJECTS:${ECHORUN_OBJECTS_${build}}>
    COMMAND_EXPAND_LISTS)
  list(APPEND echorun_hardening_tests hardening/${build})
endforeach()

# One row per build that lacks a protection: its name, the flags that take
# it away from the compiler and from the linker (after those that grant it,
# so they win), and the property the check must find missing.  A shared
# library is position independent but no executable; -shared goes to the
# linker alone, since clang's driver, still handed -pie, would warn.
set(echorun_unhardened
  no-stack-protector -fno-stack-protector "" "stack protector"
  execstack          ""            LINKER:-z,execstack "NX stack"
  no-pie             -fno-PIE      -no-pie          PIE
  shared-library     -fPIC         LINKER:-shared   PIE
  no-relro           ""            LINKER:-z,norelro   RELRO
  lazy               ""            LINKER:-z,lazy      BIND_NOW)
while(echorun_unhardened)
  list(POP_FRONT echorun_unhardened name compile link missing)
  set(target echorun-unhardened-${name})
  add_library(${target}-objects OBJECT
    ${PROJECT_SOURCE_DIR}/src/main.cpp ${PROJECT_SOURCE_DIR}/src/run_command.cpp)
  target_compile_features(${target}-objects PRIVATE cxx_std_20)
  target_compile_options(${target}-objects PRIVATE
    -fno-exceptions -fno-rtti -fPIE -fstack-protector-all ${compile})
  add_executable(${target} $<TARGET_OBJECTS:${target}-objects>)
  target_link_options(${target} PRIVATE -pie
    LINKER:-z,relro LINKER:-z,now LINKER:-z,noexecstack ${link})
  # CMake would add its own position-independence flags after the row's.
  set_property(TARGET ${target}-objects ${target}
    PROPERTY POSITION_INDEPENDENT_CODE)
  add_test(NAME hardening/rejects/${name}
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/hardening_rejects.sh "${missing}"
      ${echorun_check_hardening} $<TARGET_FILE:${target}>
      $<TARGET_OBJECTS:${target}-objects>
    COMMAND_EXPAND_LISTS)
  add_test(NAME hardening/rejects/${name}/binary-only
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/hardening_rejects.sh "${missing}"
      ${echorun_check_hardening} $<TARGET_FILE:${target}>)
  list(APPEND echorun_hardening_tests
    hardening/rejects/${name} hardening/rejects/${name}/binary-only)
endwhile()

set_tests_properties(${echorun_hardening_tests} PROPERTIES
  ENVIRONMENT "${echorun_binutils}" LABELS "${echorun_hardening_labels}"
  TIMEOUT 30)
