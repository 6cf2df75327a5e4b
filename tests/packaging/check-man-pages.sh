#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks the manual pages made from the programs' --help: each formats without a single
# warning from man or from groff -ww, names the project's version, its own program and the
# licence, and holds its sections; and each program's --help keeps its lists whole in
# help2man's hands (a list item's continuation lines start at the column of its text, or
# help2man breaks each of them off as an item of its own).
# Usage: check-man-pages.sh VERSION PROGRAM PAGE.1 [PROGRAM PAGE.1]...
set -u
version=$1
shift
failed=0
pages=0

# The sections a page needs beyond NAME, SYNOPSIS, DESCRIPTION, COPYRIGHT and SEE ALSO.
extra_sections() {
  case "$1" in
    palorctl) echo "EXIT STATUS|ENVIRONMENT|EXAMPLES" ;;
  esac
}

# Prints each line of a --help text that continues a list item at another column than
# the item's text: help2man takes such a line for a paragraph of its own.
broken_continuations() {
  awk '
    /^$/ || /^[^ ]/ { column = 0; tag_alone = 0; next }
    {
      match($0, /^ +/); indent = RLENGTH
      if (indent <= 10) {
        # An item: its text starts after the first run of two or more spaces, or on the
        # next line when its tag stands alone.
        column = match($0, /^ +[^ ]([^ ]| [^ ])*  +/) ? RLENGTH : 0
        tag_alone = !column
      } else if (tag_alone) {
        column = indent; tag_alone = 0
      } else if (column && indent != column) {
        printf "line %d continues an item at column %d, its text is at %d: %s\n", NR, indent, column, $0
      }
    }'
}

while [ $# -ge 2 ]; do
  program_path=$1 page=$2
  shift 2
  pages=$((pages + 1))
  program=$(basename "$page" .1)
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
  if [ -n "$warnings" ]; then
    echo "$page: man reports:"
    echo "$warnings"
    failed=1
  fi
  warnings=$(LC_ALL=C.UTF-8 groff -ww -man -Tutf8 -z "$page" 2>&1)
  if [ -n "$warnings" ]; then
    echo "$page: groff -ww reports:"
    echo "$warnings"
    failed=1
  fi
  # help2man puts "PROGRAM VERSION" from --version into the title line.
  if ! grep -q "^\.TH .*\"$program $version\"" "$page"; then
    echo "$page: the title line does not name \"$program $version\":"
    grep '^\.TH' "$page"
    failed=1
  fi
  # The licence, from --version, in the COPYRIGHT section.
  if ! sed -n '/^\.SH COPYRIGHT/,/^\.SH/p' "$page" | grep -q 'GPL\\-3\.0\\-or\\-later'; then
    echo "$page: the COPYRIGHT section does not name the licence GPL-3.0-or-later"
    failed=1
  fi
  sections="NAME|SYNOPSIS|DESCRIPTION|COPYRIGHT|SEE ALSO|$(extra_sections "$program")"
  old_ifs=$IFS
  IFS='|'
  for section in $sections; do
    [ -n "$section" ] || continue
    if ! grep -q "^\.SH \"\{0,1\}$section\"\{0,1\}\$" "$page"; then
      echo "$page: no $section section"
      failed=1
    fi
  done
  IFS=$old_ifs
  broken=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program_path" --help | broken_continuations)
  if [ -n "$broken" ]; then
    echo "$program --help: lines that help2man breaks off their list:"
    echo "$broken"
    failed=1
  fi
done
if [ $# -ne 0 ] || [ "$pages" -eq 0 ]; then
  echo "usage: check-man-pages.sh VERSION PROGRAM PAGE.1 [PROGRAM PAGE.1]..."
  exit 2
fi
[ "$failed" -eq 0 ] && echo "$pages manual pages format cleanly and hold their sections"
exit "$failed"
