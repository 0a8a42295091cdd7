# SPDX-License-Identifier: MIT
# Smoke tests of a cross-built echorun, run under CMAKE_CROSSCOMPILING_EMULATOR
# (qemu-user): it echoes and runs a command, and with no argument it exits
# 255 and prints nothing.  Label `cross`: `ctest -L cross` runs only these.
#
# The GoogleTest suite is built for the target but must not be run under
# qemu-user: qemu refuses seccomp filters and child subreapers and keeps
# signal handlers of its own, so the harness's faults and signal checks
# would test qemu, not echorun.
if(NOT CMAKE_CROSSCOMPILING)
  return()
endif()
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  message(FATAL_ERROR "A cross build needs CMAKE_CROSSCOMPILING_EMULATOR "
    "to test echorun (see cmake/toolchains)")
endif()

# Every build of echorun in the tree, as label and path.  Debian 12's
# qemu-i386 (7.2) hangs in the child of any dynamically linked i386 program
# that forks, a five-line one as much as echorun, so only the static builds
# are run there.
set(echorun_cross_builds)
foreach(build IN LISTS ECHORUN_BUILDS)
  if(build MATCHES "-dynamic$" AND CMAKE_SYSTEM_PROCESSOR MATCHES "^i.86$")
    continue()
  endif()
  list(APPEND echorun_cross_builds ${build} ${ECHORUN_BUILD_${build}})
endforeach()

# One row: the test's name, then what echorun must print on standard output
# and standard error together, then its arguments.  The checker appends
# "exit STATUS" to what was printed, so output and status are compared
# exactly, trailing newlines included.  The arguments are a CMake list: a
# semicolon inside one is written \;.
function(echorun_emulated name want)
  set(builds ${echorun_cross_builds})
  while(builds)
    list(POP_FRONT builds label path)
    add_test(NAME emulated/${label}/${name}
      COMMAND sh -c [[
want=$1; shift
got=$("$@" 2>&1; echo "exit $?")
[ "$got" = "$want" ] && exit
printf 'expected:\n%s\ngot:\n%s\n' "$want" "$got" >&2
exit 1]] check "${want}" ${CMAKE_CROSSCOMPILING_EMULATOR} ${path} ${ARGN})
    set_tests_properties(emulated/${label}/${name} PROPERTIES
      LABELS cross TIMEOUT 60)
  endwhile()
endfunction()

echorun_emulated(echo "echo x; exit 3\nx\nexit 0" "echo x\; exit 3")
echorun_emulated(no-argument "exit 255")
