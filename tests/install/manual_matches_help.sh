#!/usr/bin/env bash
# Each manual page lists exactly the entries of its program's --help, in the same order and
# spelt the same (option, its arguments), and groff reads the page without a warning.
#   manual_matches_help.sh PROGRAM PAGE [PROGRAM PAGE ...]
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0

# --help: the left column of every line indented by exactly two blanks.
help_entries() {
  sed -n 's/^  \([^ ].*\)$/\1/p' | sed 's/   *.*$//; s/ *$//'
}
# The page: the line after every .TP, with font changes and roff's escapes taken out.
page_entries() {
  awk 'tp { print; tp = 0 } /^\.TP/ { tp = 1 }' |
    sed 's/\\f[BIRP]//g; s/\\-/-/g; s/\\e/\\/g; s/ *$//'
}

while [ $# -ge 2 ]; do
  program=$1 page=$2
  shift 2
  name=$(basename "$program")
  "$program" --help | help_entries >"$work/$name.help"
  page_entries <"$page" >"$work/$name.page"
  [ -s "$work/$name.help" ] || { echo "FAIL: $name --help lists no entries"; status=1; }
  if ! diff -u --label "$name --help" --label "$(basename "$page")" \
      "$work/$name.help" "$work/$name.page"; then
    echo "FAIL: $(basename "$page") and $name --help differ"
    status=1
  fi
  warnings=$(groff -man -ww -z "$page" 2>&1 || true)
  if [ -n "$warnings" ]; then
    echo "FAIL: groff warns on $(basename "$page"):"
    echo "$warnings"
    status=1
  fi
  grep -q "^\.TH $(echo "$name" | tr a-z A-Z | sed 's/-/\\\\-/g') 1 " "$page" ||
    { echo "FAIL: $(basename "$page") is not the section 1 page of $name"; status=1; }
done
exit $status
