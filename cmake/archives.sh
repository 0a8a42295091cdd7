#!/bin/sh
# SPDX-License-Identifier: MIT
# archives.sh: echorun's static archives, one for each architecture of
# cmake/architectures that this Debian release has musl for, and the RPMs
# of those that rpm has a name for.  Run from the top of a clone, on
# Debian 12 or 13:
#   archives.sh install    as root: adds those architectures to dpkg and
#                          installs what builds and checks their archives
#   archives.sh [ARCH...]  builds each archive (or those named) in a
#                          musl-static tree of its own, build/archives/ARCH,
#                          runs the tree's tests (the archive and the RPM as
#                          they ship, the hardening check), and writes
#                          SHA256SUMS
#   archives.sh mine       names this machine's archive in build/archives
# Each tree, this machine's too, is built through cmake/cross.cmake: its
# tests are then the archive's own, without the black-box suite's needs.
set -eu
out=build/archives

# The rows named, or else this release's: Debian's name, the triplet and
# rpm's name.
rows() {
	release=$(. /etc/os-release && echo "${VERSION_ID:-}")
	awk -v named=" $* " -v release=",$release," '/^#/ { next }
		named == "  " && index("," $5 ",", release) ||
			index(named, " " $1 " ") { print $1, $2, $6 }
		' cmake/architectures
}

install_packages() {
	native=$(dpkg --print-architecture)
	packages="g++ cmake ninja-build musl-dev qemu-user rpm"
	for row in $(rows | cut -d' ' -f1,2 | tr ' ' :); do
		arch=${row%:*}
		[ "$arch" != "$native" ] || continue
		dpkg --add-architecture "$arch"
		# Debian's package names have no underscore: x86-64.
		compiler=g++-$(echo "${row#*:}" | tr _ -)
		packages="$packages $compiler musl-dev:$arch"
	done
	# A mirror caught in a sync fails some lists; apt keeps the others.
	apt-get update || true
	# shellcheck disable=SC2086 # one word a package
	apt-get install -y --no-install-recommends $packages
}

# TREE TRIPLET: configures, builds and tests a musl-static tree whose
# archive goes to $out; it stops at the first step that fails, as its
# caller tests its status, where set -e does not act.
build_tree() {
	cmake -S . -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
		-DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/cross.cmake" \
		-DECHORUN_TRIPLET="$2" -DECHORUN_BUILD=musl-static \
		-DECHORUN_ARCHIVE_DIR="$PWD/$out" &&
		cmake --build "$1" &&
		ctest --test-dir "$1" --output-on-failure
}

build_archives() {
	mkdir -p "$out"
	rows "$@" >"$out/rows"
	if [ ! -s "$out/rows" ] || [ $# -gt "$(wc -l <"$out/rows")" ]; then
		echo "archives.sh: cmake/architectures lacks" \
			"${*:-any for Debian $release}" >&2
		exit 2
	fi
	archives=""
	# shellcheck disable=SC2086 # $files: patterns, one word a file name
	while read -r arch triplet rpm; do
		echo "== $arch: $out/$arch"
		# The archive, and the RPM where rpm has a name for the machine.
		files="echorun-*-linux-$arch.tar.gz"
		[ "$rpm" = - ] || files="$files echorun-*-1.$rpm.rpm"
		(cd "$out" && rm -f $files)
		build_tree "$out/$arch" "$triplet" >"$out/$arch.log" 2>&1 ||
			{ cat "$out/$arch.log" && exit 1; }
		archives="$archives $(cd "$out" && echo $files)"
	done <"$out/rows"
	# shellcheck disable=SC2086 # one word a file name
	(cd "$out" && sha256sum $archives >SHA256SUMS)
	cat "$out/SHA256SUMS"
}

# This machine's archive, by the uname column's patterns.  Debian's el
# (ppc64el, mips64el) is little-endian, which uname -m does not tell: a
# big-endian mips64 says mips64 too.
find_mine() {
	machine=$(uname -m)
	arch=$(awk -v machine="$machine" '
		/^#/ { next }
		{
			pattern = $4
			gsub(/\*/, ".*", pattern)
			gsub(/,/, "|", pattern)
		}
		machine ~ "^(" pattern ")$" { print $1 }' cmake/architectures)
	little=$(printf '\1\0' | od -An -tu2 | tr -d ' ')
	case $arch in *el) [ "$little" = 1 ] || arch="" ;; esac
	for archive in "$out"/echorun-*-linux-"$arch".tar.gz; do
		[ -n "$arch" ] && [ -f "$archive" ] && echo "$archive" && return
	done
	echo "There is no echorun archive for $machine in $out." >&2
	exit 1
}

case ${1:-} in
install) install_packages ;;
mine) find_mine ;;
*) build_archives "$@" ;;
esac
