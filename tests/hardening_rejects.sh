#!/bin/sh
# SPDX-License-Identifier: MIT
# hardening_rejects: the hardening check turns down a build that lacks one
# protection, and for that reason alone: it exits 1 and MISSING is the only
# property it reports absent.  A check that rejects every binary, or the
# right binary for the wrong reason, fails here.
#
# Usage: hardening_rejects.sh MISSING CHECK BINARY [OBJECT...]
set -eu
missing=$1
shift
status=0
out=$("$@") || status=$?
printf '%s\n' "$out"
if [ "$status" != 1 ]; then
	echo "hardening_rejects: the check exited $status, not 1" >&2
	exit 1
fi
refused=$(printf '%s\n' "$out" | sed -n 's/: no (.*//p')
if [ "$refused" != "$missing" ]; then
	echo "hardening_rejects: expected only \"$missing\" refused" >&2
	exit 1
fi
