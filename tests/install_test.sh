#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# install_test: `cmake --install` of a built tree into a temporary prefix
# gives a working echorun, mode 0755 and never set-user-ID or set-group-ID,
# a manual page of this version that renders without a warning, and the
# copyright file and changelog beside them.
#
# Usage: install_test.sh CMAKE BUILD_DIR BINDIR MANDIR DOCDIR VERSION
set -euo pipefail
cmake=$1 build=$2 bindir=$3 mandir=$4 docdir=$5 version=$6

fail() {
	echo "install_test: $*" >&2
	exit 1
}

# Each tool the checks run, and the Debian package that has it: a missing
# one fails here by name rather than as a bare error further down.
for need in groff:groff-base zcat:gzip stat:coreutils; do
	command -v "${need%%:*}" >/dev/null ||
		fail "needs ${need%%:*}: install the Debian package ${need#*:}"
done

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

bin=$prefix/$bindir/echorun
page=$prefix/$mandir/man1/echorun.1.gz
# Each installed file and its mode.  %a has the set-ID bits too: 4755 or
# 2755 is not 755.
while read -r file want; do
	[ -f "$prefix/$file" ] || fail "no $prefix/$file"
	mode=$(stat -c %a "$prefix/$file")
	[ "$mode" = "$want" ] || fail "$file has mode $mode, want $want"
done <<EOF_FILES
$bindir/echorun 755
$mandir/man1/echorun.1.gz 644
$docdir/copyright 644
$docdir/changelog.gz 644
EOF_FILES

out=$("$bin" 'echo ok') || fail "$bin exited with $?"
[ "$out" = $'echo ok\nok' ] || fail "$bin printed: $out"

zcat "$page" | grep -q "^\.TH ECHORUN 1 .*\"echorun $version\"" ||
	fail "the manual page is not the one for version $version"
warnings=$(zcat "$page" | groff -man -ww -z 2>&1)
[ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"
