#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# package_test: cpack of a built tree gives echorun_VERSION_ARCH.deb with
# the right control fields, exactly the binary, the manual page, the
# copyright file and the changelog owned by root with their modes, a binary
# stripped of its symbols and of .comment that runs once unpacked, and
# documents as Debian wants them.  The static build depends on nothing; the
# dynamic one on libc6.  The Maintainer is DEBFULLNAME <DEBEMAIL> as they
# were at configure time, or the project's own when either was unset.
#
# Usage: package_test.sh CPACK BUILD_DIR SOURCE_DIR VERSION SUMMARY
#        STATIC(1|0) DEBFULLNAME DEBEMAIL
set -euo pipefail
cpack=$1 build=$2 source=$3 version=$4 summary=$5 static=$6
debfullname=$7 debemail=$8

fail() {
	echo "package_test: $*" >&2
	exit 1
}

# Each tool the checks run, and the Debian package that has it: a missing
# one fails here by name rather than as a bare error further down.
needs="dpkg-deb:dpkg readelf:binutils gzip:gzip od:coreutils"
# cpack asks dpkg-shlibdeps for the dynamic build's Depends.
[ "$static" = 1 ] || needs+=" dpkg-shlibdeps:dpkg-dev"
for need in $needs; do
	command -v "${need%%:*}" >/dev/null ||
		fail "needs ${need%%:*}: install the Debian package ${need#*:}"
done

if [ -n "$debfullname" ] && [ -n "$debemail" ]; then
	maintainer="$debfullname <$debemail>"
else
	maintainer="echorun maintainers <maintainers@echorun.invalid>"
fi

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
expect Maintainer "$maintainer"
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
-rw-r--r-- root/root ./usr/share/doc/echorun/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/echorun/copyright
-rw-r--r-- root/root ./usr/share/man/man1/echorun.1.gz"
[ "$files" = "$want" ] || fail "the package holds: $files"

dpkg-deb -x "$deb" "$tmp/root"
bin=$tmp/root/usr/bin/echorun
out=$("$bin" 'echo ok') || fail "echorun exited with $?"
[ "$out" = $'echo ok\nok' ] || fail "the unpacked echorun printed: $out"
# No symbol table, and no compiler version strings from our objects or the
# C runtime's start files.
sections=$(readelf -S --wide "$bin")
for section in .symtab .comment; do
	! grep -qF " $section " <<<"$sections" || fail "echorun has a $section section"
done

# Compressed as gzip -9n does: no file name, no time stamp (header bytes 3
# to 7 all zero), so that the same source gives the same package.
for gz in usr/share/man/man1/echorun.1.gz usr/share/doc/echorun/changelog.gz; do
	gzip -t "$tmp/root/$gz" || fail "$gz is not gzip'd"
	header=$(od -An -tx1 -j3 -N5 "$tmp/root/$gz" | tr -d ' \n')
	[ "$header" = 0000000000 ] || fail "$gz has a name or a time stamp: $header"
done
top=$(gzip -dc "$tmp/root/usr/share/doc/echorun/changelog.gz" | head -n1)
[[ "$top" == "echorun ($version) "* ]] || fail "the changelog starts: $top"

# Machine-readable, and its Expat text is LICENSE's, indented.
copyright=$tmp/root/usr/share/doc/echorun/copyright
[ "$(head -n1 "$copyright")" = \
	"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/" ] ||
	fail "the copyright file is not machine-readable: $(head -n1 "$copyright")"
# The text is the paragraph after the last "License: Expat" line, the
# stand-alone one.
text=$(awk '/^License: Expat$/ { text = ""; inside = 1; next }
	inside { text = text $0 "\n" } END { printf "%s", text }' "$copyright" |
	sed -e 's/^ //' -e 's/^\.$//')
[ "$text" = "$(cat "$source/LICENSE")" ] ||
	fail "the copyright file's licence is not LICENSE: $text"
