#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# archive_test: the `archive` target of a static build gives ARCHIVE,
# echorun-VERSION-linux-ARCH.tar.gz holding one directory of that name with
# exactly the stripped binary, its manual page, LICENSE and the notices of
# musl and GCC's runtime linked into it, owned by root with their modes; the
# binary is for the machine its objects were compiled for, needs no loader
# and no shared library, and packing again gives the same bytes.  It leaves
# the archive unpacked in UNPACK_DIR, for the tests that run the binary.
#
# Usage: archive_test.sh CMAKE BUILD_DIR ARCHIVE UNPACK_DIR
# READELF in the environment names the target's readelf (default readelf).
set -euo pipefail
cmake=$1 build=$2 archive=$3 unpacked=$4
readelf=${READELF:-readelf}

source "$(dirname "$0")/lib.sh"
needs tar:tar gzip:gzip "$readelf":binutils sha256sum:coreutils

notices=(COPYRIGHT.musl NOTICE.libgcc)

name=$(basename "$archive" .tar.gz)
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
files=$(printf '%s\n' LICENSE echorun echorun.1 "${notices[@]}" | LC_ALL=C sort)
for file in $files; do
	mode=-rw-r--r--
	[ "$file" != echorun ] || mode=-rwxr-xr-x
	want+=$'\n'"$mode 0/0 $name/$file"
done
entries=$(tar -tvzf "$archive" --numeric-owner | awk '{ print $1, $2, $6 }')
[ "$entries" = "$want" ] || fail "the archive holds: $entries"

rm -rf "$unpacked"
mkdir -p "$unpacked"
tar -xzf "$archive" -C "$unpacked"
bin=$unpacked/$name/echorun

# Each row: readelf's options, what must not be in its output, and what
# that would be.
absent=(
	"-S --wide|\.symtab|a symbol table"
	"-S --wide|\.comment|the compiler's version strings"
	"-l --wide|INTERP|a dynamic loader"
	"-d|(NEEDED)|a shared library"
)
for row in "${absent[@]}"; do
	IFS='|' read -r options pattern what <<<"$row"
	# shellcheck disable=SC2086 # the options are words
	out=$("$readelf" $options "$bin") || fail "readelf $options failed"
	! grep -qE "$pattern" <<<"$out" || fail "echorun has $what: $out"
done

# The binary is for the machine its objects were compiled for, whatever
# the archive's name says.
object=$(head -n 1 "$build/echorun.objects")
[ -f "$object" ] || fail "no object listed in $build/echorun.objects"
[ "$(elf_machine "$bin")" = "$(elf_machine "$object")" ] ||
	fail "echorun is for $(elf_machine "$bin")," \
		"its objects for $(elf_machine "$object")"

# A second second, so that a time stamp taken from the clock would differ.
sleep 1
pack
[ "$(sha256sum <"$archive")" = "$first" ] ||
	fail "packing again changed the archive"
