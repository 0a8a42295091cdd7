#!/bin/sh
# SPDX-License-Identifier: MIT
# rpm_test: cpack of a musl-static tree gives echorun-VERSION-1.ARCH.rpm
# in DIR (ARCH is rpm's name for the tree's machine), the same bytes when
# packed again, with the project's fields, nothing required but rpm's own
# features, and a changelog; installed into a scratch rpm root, it holds
# exactly the binary, the manual page and the notices, rpm -V passes, its
# echorun is for the machine the tree's objects were compiled for and
# works (under the emulator), and rpm -e leaves no file.  Where rpm has no
# name for the machine (ARCH is -), with too old a CMake, or where
# rpmbuild is not found, cpack refuses and writes nothing.
#
# Usage: rpm_test.sh CPACK BUILD_DIR VERSION ARCH DIR [EMULATOR [ARG...]]
# READELF in the environment names the target's readelf (default readelf).
set -eu
. "$(dirname "$0")/lib.sh"
cpack=$1 build=$2 version=$3 arch=$4 rpm=$5/echorun-$3-1.$4.rpm
shift 5
needs rpm:rpm

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# pack OUT: cpack in the tree, its package and staging in OUT.
pack() {
	"$cpack" --config "$build/CPackConfig.cmake" -B "$1" >"$tmp/log" 2>&1
}
# refused MESSAGE [NAME=VALUE...]: cpack, with that environment, refuses.
refused() {
	message=$1
	shift
	cpack_refuses "$tmp" "$message" env "$@" "$cpack" \
		--config "$build/CPackConfig.cmake"
}

if [ "$arch" = - ]; then
	refused "has no rpm name in cmake/architectures"
	exit
fi
# The oldest CPack that makes the RPM, as the tree says.
oldest=$(sed -n 's/^set(CPACK_ECHORUN_RPM_CMAKE "\(.*\)")$/\1/p' \
	"$build/CPackConfig.cmake")
cmake=$("$cpack" --version | sed -n 's/^cpack version //p')
if [ "$(printf '%s\n' "$oldest" "$cmake" | sort -V | head -n 1)" != \
	"$oldest" ]; then
	refused "use CMake $oldest or later"
	exit
fi
refused "needs rpmbuild: apt-get install rpm" PATH=/nonexistent

rm -f "$rpm"
for out in first second; do
	pack "$tmp/$out" || fail "cpack failed: $(cat "$tmp/log")"
	# A second second, so that a time taken from the clock would differ.
	sleep 1
done
cmp "$tmp/first/$(basename "$rpm")" "$tmp/second/$(basename "$rpm")" ||
	fail "packing again changed the RPM"
cp "$tmp/first/$(basename "$rpm")" "$rpm"

fields=$(rpm -qp --qf '%{NAME} %{VERSION}-%{RELEASE} %{ARCH} %{LICENSE}' \
	"$rpm")
[ "$fields" = "echorun $version-1 $arch MIT" ] || fail "the fields: $fields"
requires=$(rpm -qpR "$rpm" | grep -v '^rpmlib(' || true)
[ -z "$requires" ] || fail "the RPM requires: $requires"
rpm -qp --changelog "$rpm" | head -n 1 | grep -q "^\* .* - $version-1\$" ||
	fail "the changelog is: $(rpm -qp --changelog "$rpm")"

root=$tmp/root
in_root() {
	rpm --root "$root" --dbpath /var/lib/rpm "$@" 2>"$tmp/log" ||
		fail "rpm $*: $(cat "$tmp/log")"
}
in_root --initdb
in_root -i --nodeps --ignorearch "$rpm"
doc=/usr/share/doc/echorun
files=$(in_root -ql echorun)
[ "$files" = "/usr/bin/echorun
$doc
$doc/COPYRIGHT.musl
$doc/NOTICE.libgcc
$doc/changelog.gz
$doc/copyright
/usr/share/man/man1/echorun.1.gz" ] || fail "the RPM holds: $files"
in_root -V echorun
bin=$root/usr/bin/echorun
object=$(head -n 1 "$build/echorun.objects")
[ "$(elf_machine "$bin")" = "$(elf_machine "$object")" ] ||
	fail "echorun is for $(elf_machine "$bin")," \
		"its objects for $(elf_machine "$object")"
"$(dirname "$0")/smoke_test.sh" "$@" "$bin"
in_root -e echorun
left=$(find "$root" -type f ! -path "$root/var/lib/rpm/*")
[ -z "$left" ] || fail "rpm -e left: $left"
[ ! -e "$root$doc" ] || fail "rpm -e left $doc"
