#!/bin/sh
# SPDX-License-Identifier: MIT
# hardening_rejects: the hardening check turns down a build that lacks some
# protections, and for those reasons alone: it exits 1 and the properties
# it reports absent are exactly MISSING, a comma-separated list.  A check
# that rejects every binary, or the right binary for the wrong reason,
# fails here.
#
# Usage: hardening_rejects.sh MISSING[,MISSING...] CHECK BINARY [OBJECT...]
set -eu
missing=$(printf '%s\n' "$1" | tr , '\n' | sort)
shift
status=0
out=$("$@") || status=$?
printf '%s\n' "$out"
if [ "$status" != 1 ]; then
	echo "hardening_rejects: the check exited $status, not 1" >&2
	exit 1
fi
refused=$(printf '%s\n' "$out" | sed -n 's/: no (.*//p' | sort)
if [ "$refused" != "$missing" ]; then
	printf 'hardening_rejects: expected refused:\n%s\n' "$missing" >&2
	exit 1
fi
