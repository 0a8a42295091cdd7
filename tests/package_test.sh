#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# package_test: cpack of a glibc-dynamic tree gives echorun_VERSION_ARCH.deb
# with this build's control fields (the Maintainer from DEBFULLNAME and
# DEBEMAIL as they were at configure time, else the project's; Depends on
# libc6) and exactly the binary, the manual page, the copyright file and
# the changelog.  dpkg installs it, echorun runs, and dpkg removes it all.
# lintian judges the rest: format, modes, owners, stripping, compression.
# An RPM asked of the tree is refused.
#
# Usage: package_test.sh CPACK BUILD_DIR VERSION ARCH DEBFULLNAME DEBEMAIL
set -euo pipefail
. "$(dirname "$0")/lib.sh"
cpack=$1 build=$2 version=$3 arch=$4 debfullname=$5 debemail=$6

needs dpkg-deb:dpkg dpkg-shlibdeps:dpkg-dev file:file
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
deb=$tmp/echorun_${version}_$arch.deb
[ -f "$deb" ] || fail "no $(basename "$deb") in: $(ls "$tmp")"
# An RPM holds the musl-static echorun: asked of this tree, cpack refuses
# and writes nothing.
cpack_refuses "$tmp" "an RPM the musl-static one" \
	"$cpack" -G RPM --config "$build/CPackConfig.cmake"

fields=$(dpkg-deb -f "$deb" Package Version Architecture Maintainer Section \
	Priority)
[ "$fields" = "Package: echorun
Version: $version
Architecture: $arch
Maintainer: $maintainer
Section: utils
Priority: optional" ] || fail "the control fields are: $fields"
depends=$(dpkg-deb -f "$deb" Depends)
[[ "$depends" =~ ^libc6\ \(\>=\ [0-9.]+\)$ ]] ||
	fail "Depends is '$depends', not libc6 (>= ...)"

files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }')
[ "$files" = "./usr/bin/echorun
./usr/share/doc/echorun/changelog.gz
./usr/share/doc/echorun/copyright
./usr/share/man/man1/echorun.1.gz" ] || fail "the package holds: $files"

private_dpkg "$tmp/root"
dpkg -i "$deb" >"$tmp/dpkg.log" 2>&1 || fail "dpkg -i: $(cat "$tmp/dpkg.log")"
runs_echo_ok "$tmp/root/usr/bin/echorun"
dpkg -r echorun >"$tmp/dpkg.log" 2>&1 || fail "dpkg -r: $(cat "$tmp/dpkg.log")"
removed_all

command -v lintian >/dev/null ||
	skip "lintian is not installed: apt-get install lintian"
lintian --pedantic --display-info --fail-on error,warning "$deb" ||
	fail "lintian finds fault (above)"
