#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# package_test: cpack of a built tree gives echorun_VERSION_ARCH.deb with
# this build's control fields (the Maintainer from DEBFULLNAME and DEBEMAIL
# as they were at configure time, else the project's; Depends on libc6 for
# the dynamic build only) and exactly the binary, the manual page, the
# copyright file and the changelog, and a static build's notices.  dpkg
# installs it, echorun runs, and dpkg removes it all.  lintian judges the
# rest: format, modes, owners, stripping and compression.
#
# Usage: package_test.sh CPACK BUILD_DIR VERSION STATIC(1|0) DEBFULLNAME
#        DEBEMAIL
set -euo pipefail
. "$(dirname "$0")/lib.sh"
cpack=$1 build=$2 version=$3 static=$4 debfullname=$5 debemail=$6

needs dpkg-deb:dpkg
# cpack asks dpkg-shlibdeps for the dynamic build's Depends.
[ "$static" = 1 ] || needs dpkg-shlibdeps:dpkg-dev
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
arch=$(dpkg --print-architecture)
deb=$tmp/echorun_${version}_$arch.deb
[ -f "$deb" ] || fail "no $(basename "$deb") in: $(ls "$tmp")"

fields=$(dpkg-deb -f "$deb" Package Version Architecture Maintainer Section \
	Priority)
[ "$fields" = "Package: echorun
Version: $version
Architecture: $arch
Maintainer: $maintainer
Section: utils
Priority: optional" ] || fail "the control fields are: $fields"
depends=$(dpkg-deb -f "$deb" Depends)
want='^$'
[ "$static" = 1 ] || want='^libc6 \(>= [0-9.]+\)$'
[[ "$depends" =~ $want ]] || fail "Depends is '$depends', want $want"

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }')
# A static build carries its C library's and GCC's runtime notices too.
notices=$(grep -E '^\./usr/share/doc/echorun/(COPYRIGHT|LGPL|NOTICE)' <<<"$files" || true)
[ "$static" = 1 ] || [ -z "$notices" ] || fail "a dynamic build holds: $notices"
[ "$static" = 0 ] || grep -q '/NOTICE\.libgcc$' <<<"$notices" ||
	fail "a static build without its notices: $files"
files=$(grep -vxF "$notices" <<<"$files")
[ "$files" = "./usr/bin/echorun
./usr/share/doc/echorun/changelog.gz
./usr/share/doc/echorun/copyright
./usr/share/man/man1/echorun.1.gz" ] || fail "the package holds: $files"

# dpkg --root gives dpkg a root of its own, files and database alike, which
# lists no libc6 for the dynamic build to depend on.
root=$tmp/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
touch "$root/var/lib/dpkg/status"
dpkg_root() {
	dpkg --root="$root" --log=/dev/null --force-not-root,bad-path,depends \
		"$@" >>"$tmp/dpkg.log" 2>&1 || fail "dpkg $*: $(cat "$tmp/dpkg.log")"
}
dpkg_root --install "$deb"
runs_echo_ok "$root/usr/bin/echorun"
dpkg_root --remove echorun
left=$(find "$root" -mindepth 1 -path "$root/var" -prune -o -print)
[ -z "$left" ] || fail "dpkg --remove left: $left"

command -v lintian >/dev/null || skip "lintian is not installed: apt-get install lintian"
# A static PIE is a shared object without NEEDED entries to lintian.
suppress=
[ "$static" = 0 ] || suppress=--suppress-tags=shared-library-lacks-prerequisites
lintian --pedantic --display-info --fail-on error,warning $suppress "$deb" ||
	fail "lintian finds fault (above)"
