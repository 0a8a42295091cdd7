#!/bin/sh
# SPDX-License-Identifier: MIT
# check_hardening: does a built echorun carry the hardening its build asks
# for?  Prints one line per property, "NAME: yes (why)" or "NAME: no (why)",
# and exits 0 when all hold, 1 when any does not, 2 on a usage error or a
# file that binutils cannot read.
#
# Usage: check_hardening.sh [--elf-only] BINARY [OBJECT...]
#
# READELF and NM name the tools (default readelf, nm): a cross build passes
# the target's.  RELRO is judged where it acts, in a running echorun, run
# under EMULATOR when set (a command and its options, split on spaces, such
# as "qemu-aarch64 -L /usr/aarch64-linux-gnu"): the file's GNU_RELRO
# segment alone says nothing of whether its start-up applied it.  Only
# where nothing can run the binary, --elf-only judges it by that segment.
# The stack protector is judged from echorun's own OBJECTs when given, since
# a static C library brings its own protected code and handler whatever
# flags echorun was compiled with; without them, from a dynamic binary's
# imports, and a binary that imports no C library is refused.
set -euf

readelf=${READELF:-readelf}
nm=${NM:-nm}
emulator=${EMULATOR:-}

usage() {
	echo "usage: check_hardening.sh [--elf-only] BINARY [OBJECT...]" >&2
	exit 2
}

run=yes
[ "${1:-}" != --elf-only ] || { run=no && shift; }
[ $# -ge 1 ] || usage
case $1 in -*) usage ;; esac
binary=$1
shift
# GNU readelf reports a truncated file and still exits 0, printing what it
# could read: an error message rejects the file before any verdict.
if ! errors=$("$readelf" -hldW "$binary" 2>&1 >/dev/null) ||
	printf '%s\n' "$errors" | grep -qi 'error:'; then
	printf '%s\ncheck_hardening: %s cannot read %s\n' "$errors" \
		"$readelf" "$binary" >&2
	exit 2
fi
header=$("$readelf" -hW "$binary")
segments=$("$readelf" -lW "$binary")
dynamic=$("$readelf" -dW "$binary")

failed=0
verdict() { # NAME yes|no WHY
	echo "$1: $2 ($3)"
	[ "$2" = yes ] || failed=1
}

# The dynamic entry named $1 has the word $2: GNU readelf writes
# "(FLAGS_1) Flags: NOW PIE", llvm-readelf "(FLAGS_1) NOW PIE".
dynamic_has() {
	printf '%s\n' "$dynamic" | grep -Eq "\\($1\\).* $2( |\$)"
}

dynamic_tag() {
	printf '%s\n' "$dynamic" | grep -q "($1)"
}

segment() {
	printf '%s\n' "$segments" | grep -E "^ *$1 " || true
}

# A shared library is ET_DYN as well; what makes it an executable is the
# linker's PIE flag, or, from linkers older than that flag, an interpreter.
type=$(printf '%s\n' "$header" | sed -n 's/^ *Type: *\([A-Z]*\).*/\1/p')
if [ "$type" != DYN ]; then
	verdict PIE no "ELF type ${type:-unknown}, loaded at a fixed address"
elif dynamic_has FLAGS_1 PIE; then
	verdict PIE yes "ELF type DYN, FLAGS_1 PIE"
elif [ -n "$(segment INTERP)" ]; then
	verdict PIE yes "ELF type DYN with an interpreter"
else
	verdict PIE no \
		"ELF type DYN without PIE flag or interpreter: a shared library"
	run=no
fi

# The pages of GNU_RELRO a loader write-protects (from the one that holds
# its start to the last one it fills) must not be writable in the maps of a
# running echorun, which its command reads while echorun waits.  Under
# qemu-user that command is the host's shell, its parent qemu, which maps
# the file at the guest's addresses with the protection the guest gave each
# page.  The load address is where the file's first page is mapped, less
# the first segment's address (0 in a PIE).
relro_at_run_time() { # OFFSET VADDR PADDR FILESZ MEMSZ
	page=$(getconf PAGESIZE)
	first=$(segment LOAD |
		{ read -r type offset vaddr rest && echo "$vaddr"; })
	file=$(readlink -f "$binary")
	# shellcheck disable=SC2086 # the emulator's words
	maps=$($emulator "$file" 'cat /proc/$PPID/maps') ||
		{ verdict RELRO no "it did not run: exit $?" && return; }
	maps=$(printf '%s\n' "$maps" | sed 1d) # the echo
	start=$(printf '%s\n' "$maps" |
		while read -r range perms offset _ _ path; do
			[ "$path" != "$file" ] || [ $((0x$offset)) != 0 ] ||
				{ echo "${range%-*}" && break; }
		done)
	[ -n "$start" ] || {
		verdict RELRO no "$file is not in the maps its command read"
		return
	}
	base=$((0x$start - (first & -page)))
	low=$(((base + $2) & -page)) high=$(((base + $2 + $5) & -page))
	[ "$low" -lt "$high" ] || {
		verdict RELRO yes \
			"GNU_RELRO segment, less than a $page-byte page"
		return
	}
	writable=$(printf '%s\n' "$maps" | while read -r range perms rest; do
		from=$((0x${range%-*})) to=$((0x${range#*-}))
		[ "$from" -ge "$high" ] || [ "$to" -le "$low" ] ||
			case $perms in *w*) printf ' %s' "$range" ;; esac
	done)
	if [ -n "$writable" ]; then
		verdict RELRO no \
			"GNU_RELRO segment, writable at run time:$writable"
	else
		verdict RELRO yes \
			"GNU_RELRO segment, read-only at run time"
	fi
}
relro=$(segment GNU_RELRO)
if [ -z "$relro" ]; then
	verdict RELRO no "no GNU_RELRO segment"
elif [ "$run" = no ]; then
	verdict RELRO yes "GNU_RELRO segment, not run here"
else
	# shellcheck disable=SC2086 # the segment's fields are words
	relro_at_run_time ${relro#*GNU_RELRO}
fi

# Without a dynamic section (a static non-PIE), the linker has resolved
# everything and nothing is bound while the program runs.
if ! printf '%s\n' "$dynamic" | grep -Eq '^ *0x[0-9a-f]+ \('; then
	verdict BIND_NOW yes "no dynamic section, nothing bound at run time"
elif dynamic_tag BIND_NOW || dynamic_has FLAGS BIND_NOW ||
	dynamic_has FLAGS_1 NOW; then
	verdict BIND_NOW yes "immediate binding in the dynamic section"
else
	verdict BIND_NOW no \
		"no BIND_NOW, FLAGS BIND_NOW or FLAGS_1 NOW: lazy binding"
fi

# Flags are letters after the segment's hexadecimal fields, which binutils
# write in lower case: an upper-case E can only be the execute flag.
stack=$(segment GNU_STACK)
case ${stack#*GNU_STACK} in
'') verdict "NX stack" no "no GNU_STACK segment: the stack is executable" ;;
*E*) verdict "NX stack" no "GNU_STACK is executable" ;;
*) verdict "NX stack" yes "GNU_STACK without execute permission" ;;
esac

# The canary check calls __stack_chk_fail (or the local alias that i386's
# position-independent code uses, which calls it in turn); targets that keep
# the canary in a global rather than in thread data refer to
# __stack_chk_guard as well.  A binary is judged by where the handler comes
# from, not by its name: one it defines itself proves nothing of its code.
handler='(__stack_chk_fail|__stack_chk_guard)(@.*)?$'
if [ $# -gt 0 ]; then
	unguarded=""
	for object; do
		undefined=$("$nm" -u "$object") || exit 2
		printf '%s\n' "$undefined" |
			grep -Eq " U (__stack_chk_fail_local$|$handler)" ||
			unguarded="$unguarded ${object##*/}"
	done
	if [ -n "$unguarded" ]; then
		verdict "stack protector" no "no canary check in$unguarded"
	else
		verdict "stack protector" yes \
			"a canary check in each of $# objects"
	fi
elif ! dynamic_tag NEEDED; then
	verdict "stack protector" no \
		"a static binary holds a C library's handler: pass the objects"
else
	imports=$("$nm" -D "$binary") || exit 2
	if printf '%s\n' "$imports" | grep -Eq " U $handler"; then
		verdict "stack protector" yes \
			"the binary imports the canary's handler"
	else
		verdict "stack protector" no \
			"the binary imports no canary's handler"
	fi
fi
exit $failed
