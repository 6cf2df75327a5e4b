#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the manual pages made from the programs' --help: each formats without a single
# warning from man and groff, and names the project's version and its own program.
# Usage: check-man-pages.sh VERSION PAGE.1...
set -u
version=$1
shift
failed=0
for page in "$@"; do
  program=$(basename "$page" .1)
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "$page: man reports:"
    echo "$warnings"
    failed=1
  fi
  # help2man puts "PROGRAM VERSION" from --version into the title line.
  if ! grep -q "^\.TH .*\"$program $version\"" "$page"; then
    echo "$page: the title line does not name \"$program $version\":"
    grep '^\.TH' "$page"
    failed=1
  fi
  for section in NAME SYNOPSIS DESCRIPTION "SEE ALSO"; do
    if ! grep -q "^\.SH \"\{0,1\}$section\"\{0,1\}\$" "$page"; then
      echo "$page: no $section section"
      failed=1
    fi
  done
done
[ "$failed" -eq 0 ] && echo "$# manual pages format cleanly"
exit "$failed"
