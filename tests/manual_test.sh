#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# manual_test: the manual page renders without a single warning from either
# of the two formatters that read it, groff and mandoc.
#
# Usage: manual_test.sh PAGE
set -euo pipefail
page=$1

fail() {
	echo "manual_test: $*" >&2
	exit 1
}

command -v groff >/dev/null || fail "groff is missing (Debian package groff-base)"
command -v mandoc >/dev/null || fail "mandoc is missing (Debian package mandoc)"
warnings=$(groff -man -ww -z "$page" 2>&1)
[ -z "$warnings" ] || fail "groff warns: $warnings"
# mandoc exits non-zero on any warning.
mandoc -T lint -W warning "$page" || fail "mandoc warns (above)"
