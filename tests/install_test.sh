#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# install_test: `cmake --install` of a built tree into a temporary prefix
# gives a working echorun, mode 0755 and never set-user-ID or set-group-ID,
# the manual page of this version (the manual test lints its source), and
# the copyright file and changelog beside them, and in a static build the
# notices of the runtime pieces linked into it.
#
# Usage: install_test.sh CMAKE BUILD_DIR BINDIR MANDIR DOCDIR VERSION STATIC
# (STATIC: 1 or 0)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
cmake=$1 build=$2 bindir=$3 mandir=$4 docdir=$5 version=$6 static=$7

needs zcat:gzip stat:coreutils
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

# Each installed file and its mode.  %a has the set-ID bits too: 4755 or
# 2755 is not 755.
while read -r file want; do
	[ -n "$file" ] || continue
	[ -f "$prefix/$file" ] || fail "no $prefix/$file"
	mode=$(stat -c %a "$prefix/$file")
	[ "$mode" = "$want" ] || fail "$file has mode $mode, want $want"
done <<EOF_FILES
$bindir/echorun 755
$mandir/man1/echorun.1.gz 644
$docdir/copyright 644
$docdir/changelog.gz 644
$([ "$static" = 0 ] || echo "$docdir/NOTICE.libgcc 644")
EOF_FILES

runs_echo_ok "$prefix/$bindir/echorun"
zcat "$prefix/$mandir/man1/echorun.1.gz" |
	grep -q "^\.TH ECHORUN 1 .*\"echorun $version\"" ||
	fail "the manual page is not the one for version $version"
