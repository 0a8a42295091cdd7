# SPDX-License-Identifier: MIT
# lib.sh: what the shell tests share; each sources it after `set -euo
# pipefail`.  fail and skip end the test.  A skip is CTest's
# SKIP_RETURN_CODE, 77, unless ECHORUN_TESTS_NO_SKIP is set: then it fails
# with the same reason, as in tests/harness/skip.h.
me=$(basename "$0" .sh)

fail() {
	echo "$me: $*" >&2
	exit 1
}

skip() {
	[ -z "${ECHORUN_TESTS_NO_SKIP:-}" ] ||
		fail "not skipped (ECHORUN_TESTS_NO_SKIP): $*"
	echo "$me: skipped: $*"
	exit 77
}

# needs TOOL:PACKAGE...: each tool the test runs and the Debian package that
# has it, so that a missing one fails by name, not as a bare error later.
needs() {
	local need
	for need; do
		command -v "${need%%:*}" >/dev/null ||
			fail "needs ${need%%:*}: install the Debian package ${need#*:}"
	done
}

# runs_echo_ok BINARY: the echorun at BINARY echoes a command and runs it.
runs_echo_ok() {
	local out
	out=$("$1" 'echo ok') || fail "$1 exited with $?"
	[ "$out" = $'echo ok\nok' ] || fail "$1 printed: $out"
}
