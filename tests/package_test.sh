#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# package_test: cpack of a built tree gives echorun_VERSION_ARCH.deb with
# the right control fields, exactly the binary and the manual page owned by
# root with their modes, and a binary that runs once unpacked.  The static
# build depends on nothing; the dynamic one on libc6.
#
# Usage: package_test.sh CPACK BUILD_DIR VERSION SUMMARY STATIC(1|0)
set -euo pipefail
cpack=$1 build=$2 version=$3 summary=$4 static=$5

fail() {
	echo "package_test: $*" >&2
	exit 1
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# -B keeps the package and CPack's staging out of the build tree.
"$cpack" --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" ||
	fail "cpack failed: $(cat "$tmp/cpack.log")"

deb=$tmp/echorun_${version}_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $(basename "$deb") in: $(ls "$tmp")"

field() {
	dpkg-deb -f "$deb" "$1"
}
expect() {
	[ "$(field "$1")" = "$2" ] || fail "$1 is '$(field "$1")', want '$2'"
}
expect Package echorun
expect Version "$version"
expect Architecture "$(dpkg --print-architecture)"
expect Maintainer "echorun maintainers"
expect Section utils
expect Priority optional

# A summary line, then an extended description of indented lines only.
description=$(field Description)
[ "$(head -n1 <<<"$description")" = "$summary" ] ||
	fail "Description starts: $(head -n1 <<<"$description")"
long=$(tail -n +2 <<<"$description")
[ "$(wc -l <<<"$long")" -ge 2 ] || fail "no extended description"
! grep -qv '^ [^ ]' <<<"$long" || fail "badly formatted Description: $long"

depends=$(field Depends)
if [ "$static" = 1 ]; then
	[ -z "$depends" ] || fail "the static build depends on: $depends"
else
	grep -q '^libc6 (>= [0-9.]*)$' <<<"$depends" ||
		fail "the dynamic build depends on '$depends', want libc6"
fi

# Every file in the package, with its mode and owner; directories aside.
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }')
want="-rwxr-xr-x root/root ./usr/bin/echorun
-rw-r--r-- root/root ./usr/share/man/man1/echorun.1.gz"
[ "$files" = "$want" ] || fail "the package holds: $files"

dpkg-deb -x "$deb" "$tmp/root"
out=$("$tmp/root/usr/bin/echorun" 'echo ok') || fail "echorun exited with $?"
[ "$out" = $'echo ok\nok' ] || fail "the unpacked echorun printed: $out"
gzip -t "$tmp/root/usr/share/man/man1/echorun.1.gz" ||
	fail "the manual page is not gzip'd"
