#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# install_test: `cmake --install` of a built tree into a temporary prefix
# gives a working echorun, mode 0755 and never set-user-ID or set-group-ID,
# and a manual page of this version that renders without a warning.
#
# Usage: install_test.sh CMAKE BUILD_DIR BINDIR MANDIR VERSION
set -euo pipefail
cmake=$1 build=$2 bindir=$3 mandir=$4 version=$5

fail() {
	echo "install_test: $*" >&2
	exit 1
}

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

bin=$prefix/$bindir/echorun
page=$prefix/$mandir/man1/echorun.1.gz
[ -f "$bin" ] || fail "no $bin"
[ -f "$page" ] || fail "no $page"

# %a has the set-ID bits too: 4755 or 2755 is not 755.
mode=$(stat -c %a "$bin")
[ "$mode" = 755 ] || fail "$bin has mode $mode, want 755"
mode=$(stat -c %a "$page")
[ "$mode" = 644 ] || fail "$page has mode $mode, want 644"

out=$("$bin" 'echo ok') || fail "$bin exited with $?"
[ "$out" = $'echo ok\nok' ] || fail "$bin printed: $out"

zcat "$page" | grep -q "^\.TH ECHORUN 1 .*\"echorun $version\"" ||
	fail "the manual page is not the one for version $version"
warnings=$(zcat "$page" | groff -man -ww -z 2>&1)
[ -z "$warnings" ] || fail "groff warns about the manual page: $warnings"
