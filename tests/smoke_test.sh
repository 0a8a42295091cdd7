#!/bin/sh
# SPDX-License-Identifier: MIT
# smoke_test: the echorun at the end of the command line, after its
# emulator if any, echoes and runs a command and exits 0 although the
# command failed; with no argument it exits 255 and prints nothing.
#
# Usage: smoke_test.sh [EMULATOR [ARG...]] BINARY
set -eu
. "$(dirname "$0")/lib.sh"

# WANT COMMAND...: what COMMAND prints, then its exit status.
check() {
	want=$1
	shift
	got=$("$@" 2>&1 && echo "exit 0" || echo "exit $?")
	[ "$got" = "$want" ] || fail "$*: expected <<$want>>, got <<$got>>"
}

check "$(printf 'echo x && exit 3\nx\nexit 0')" "$@" 'echo x && exit 3'
check "exit 255" "$@"
