#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# archive_test: the `archive` target of a static build gives
# echorun-VERSION-linux-ARCH.tar.gz holding one directory of that name with
# exactly the stripped binary, its manual page, LICENSE and the notices of
# the C library it was linked with, owned by root with their modes; the
# binary runs once unpacked, and packing again gives the same bytes.
#
# Usage: archive_test.sh CMAKE BUILD_DIR VERSION LIBC(glibc|musl)
set -euo pipefail
cmake=$1 build=$2 version=$3 libc=$4

fail() {
	echo "archive_test: $*" >&2
	exit 1
}

# Each tool the checks run, and the Debian package that has it.
for need in tar:tar gzip:gzip readelf:binutils sha256sum:coreutils; do
	command -v "${need%%:*}" >/dev/null ||
		fail "needs ${need%%:*}: install the Debian package ${need#*:}"
done

# The notices that each C library's licence asks to travel with a static
# copy of it; GCC's runtime pieces come with every one.
case $libc in
glibc) notices=(COPYRIGHT.glibc LGPL-2.1 NOTICE.glibc NOTICE.libgcc) ;;
musl) notices=(COPYRIGHT.musl NOTICE.libgcc) ;;
*) fail "no notices known for C library '$libc'" ;;
esac

name=echorun-$version-linux-$(uname -m)
archive=$build/$name.tar.gz
pack() {
	rm -f "$archive"
	"$cmake" --build "$build" --target archive >/dev/null ||
		fail "the archive target failed"
	[ -f "$archive" ] || fail "no $archive"
}
pack
first=$(sha256sum <"$archive")

# Every entry with its mode and owner, in the archive's own order.
want="drwxr-xr-x 0/0 $name/"
for file in $(printf '%s\n' LICENSE echorun echorun.1 "${notices[@]}" | LC_ALL=C sort); do
	mode=-rw-r--r--
	[ "$file" != echorun ] || mode=-rwxr-xr-x
	want+=$'\n'"$mode 0/0 $name/$file"
done
entries=$(tar -tvzf "$archive" --numeric-owner | awk '{ print $1, $2, $6 }')
[ "$entries" = "$want" ] || fail "the archive holds: $entries"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
tar -xzf "$archive" -C "$tmp"
bin=$tmp/$name/echorun
out=$("$bin" 'echo ok') || fail "echorun exited with $?"
[ "$out" = $'echo ok\nok' ] || fail "the unpacked echorun printed: $out"
sections=$(readelf -S --wide "$bin")
for section in .symtab .comment; do
	! grep -qF " $section " <<<"$sections" || fail "echorun has a $section section"
done
! readelf -d "$bin" | grep -q NEEDED || fail "echorun needs shared libraries"

# A second second, so that a time stamp taken from the clock would differ.
sleep 1
pack
[ "$(sha256sum <"$archive")" = "$first" ] || fail "packing again changed the archive"
