# SPDX-License-Identifier: MIT
# lib.sh: what the shell tests and CI share, in POSIX sh.  fail and skip
# end the test.  A skip is CTest's SKIP_RETURN_CODE, 77, unless
# ECHORUN_TESTS_NO_SKIP is set: then it fails with the same reason, as in
# tests/harness/skip.h.
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
			fail "needs ${need%%:*}:" \
				"install the Debian package ${need#*:}"
	done
}

# runs_echo_ok BINARY: the echorun at BINARY echoes a command and runs it.
runs_echo_ok() {
	local out
	out=$("$1" 'echo ok') || fail "$1 exited with $?"
	[ "$out" = "$(printf 'echo ok\nok')" ] || fail "$1 printed: $out"
}

# cpack_refuses DIR MESSAGE COMMAND...: COMMAND, a cpack run to which
# `-B DIR/refused` is added, fails, says MESSAGE (however CMake wraps its
# lines) and writes nothing.
cpack_refuses() {
	refused=$1/refused said=$2
	shift 2
	! "$@" -B "$refused" >"$refused.log" 2>&1 ||
		fail "cpack made a package: $(cat "$refused.log")"
	[ ! -e "$refused" ] || fail "cpack wrote $(ls -A "$refused")"
	tr -s ' \n' ' ' <"$refused.log" | grep -qF "$said" ||
		fail "cpack did not say '$said': $(cat "$refused.log")"
}

# elf_machine FILE: the class, byte order and machine of an ELF file, as
# READELF (default readelf) reads them.
elf_machine() {
	"${READELF:-readelf}" -h "$1" |
		sed -En 's/^ *(Class|Data|Machine): *//p' | paste -sd /
}

# private_dpkg ROOT: from here on, dpkg works in ROOT, files and package
# database alike: a package is really installed, registered and removed,
# and the machine's own stay as they were.  The database lists no libc6 for
# the package to depend on.
private_dpkg() {
	dpkg_root=$1
	mkdir -p "$dpkg_root/var/lib/dpkg/info" \
		"$dpkg_root/var/lib/dpkg/updates"
	touch "$dpkg_root/var/lib/dpkg/status"
	dpkg() {
		command dpkg --root="$dpkg_root" --log=/dev/null \
			--force-not-root,bad-path,depends "$@"
	}
}

# removed_all: dpkg left nothing in its root but its database.
removed_all() {
	local left
	left=$(find "$dpkg_root" -mindepth 1 \
		-path "$dpkg_root/var" -prune -o -print)
	[ -z "$left" ] || fail "dpkg -r left: $left"
}

# block FILE NAME: the one fenced block right after FILE's line
# <!-- ci: NAME -->, which CI runs as written.
block() {
	awk -v mark="<!-- ci: $2 -->" '
		$0 == mark {
			marks++
			getline
			inside = /^```(sh|console)$/
			next
		}
		inside && /^```$/ { inside = 0; blocks++ }
		inside { print }
		END { exit !(marks == 1 && blocks == 1) }' "$1" ||
		fail "$1: no single fenced block right after <!-- ci: $2 -->"
}

# run FILE NAME: shows that block and runs it, as a reader's bash would,
# stopping at the first command that fails.
run() {
	run_text=$(block "$@") || exit 1
	printf '$ %s\n' "$run_text" | sed '2,$s/^/> /'
	bash -euo pipefail -c "$run_text"
}
