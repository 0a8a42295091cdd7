# SPDX-License-Identifier: MIT
# Smoke tests of one echorun binary, run as it is or under an emulator
# (qemu-user, for another architecture's): it echoes a command, runs it and
# exits 0 although the command failed, and with no argument it exits 255
# and prints nothing.  They run where the black-box suite does not: on a
# cross build, where qemu-user's seccomp, subreaper and signal handling
# would be tested instead of echorun's, and on an archive's stripped copy.
#
# echorun_smoke_tests(PREFIX BINARY [FIXTURE NAME] [EMULATOR COMMAND...])
# adds PREFIX/NAME for each row below; FIXTURE names the test fixture that
# puts BINARY in place.

# One row: the test's name, what echorun prints on standard output and
# error together followed by "exit STATUS", compared exactly, then its
# arguments (a CMake list: a semicolon inside one is written \;).
function(echorun_smoke_tests prefix binary)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "FIXTURE" "EMULATOR")
  echorun_smoke(echo "echo x; exit 3\nx\nexit 0" "echo x\; exit 3")
  echorun_smoke(no-argument "exit 255")
endfunction()

# Reads prefix, binary and arg_* of the echorun_smoke_tests call it is in.
function(echorun_smoke name want)
  add_test(NAME ${prefix}/${name}
    COMMAND sh -c [[
want=$1; shift
got=$("$@" 2>&1; echo "exit $?")
[ "$got" = "$want" ] && exit
printf 'expected:\n%s\ngot:\n%s\n' "$want" "$got" >&2
exit 1]] check "${want}" ${arg_EMULATOR} ${binary} ${ARGN})
  set_tests_properties(${prefix}/${name} PROPERTIES TIMEOUT 60)
  if(arg_FIXTURE)
    set_tests_properties(${prefix}/${name} PROPERTIES
      FIXTURES_REQUIRED ${arg_FIXTURE})
  endif()
endfunction()
