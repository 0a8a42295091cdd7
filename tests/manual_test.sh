#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# manual_test: the manual page renders without a single warning from either
# of the two formatters that read it, groff and mandoc.
#
# Usage: manual_test.sh PAGE
set -euo pipefail
. "$(dirname "$0")/lib.sh"
page=$1

needs groff:groff-base mandoc:mandoc
warnings=$(groff -man -ww -z "$page" 2>&1)
[ -z "$warnings" ] || fail "groff warns: $warnings"
# mandoc exits non-zero on any warning.
mandoc -T lint -W warning "$page" || fail "mandoc warns (above)"
