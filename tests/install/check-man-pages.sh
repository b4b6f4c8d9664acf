#!/usr/bin/env bash
# Renders each program's manual page with man and checks that it has its
# sections and names every option that the program's --help lists.
# usage: check-man-pages.sh PROGRAM_PATH...   (the page PROGRAM_PATH.1.gz beside each)
set -euo pipefail
. "$(dirname "$0")/common.sh"

for path in "$@"; do
  program=$(basename "$path")
  page=$path.1.gz
  expect_file "$page"
  text=$(MANWIDTH=250 man -E ascii -P cat -l "$page" 2>man.err) || fail "man -l $page failed: $(cat man.err)"
  [ ! -s man.err ] || fail "man -l $page warns: $(cat man.err)"
  for section in NAME SYNOPSIS DESCRIPTION FILES "EXIT STATUS" "SEE ALSO"; do
    grep -qx "$section" <<<"$text" || fail "$program(1) has no $section section"
  done
  grep -qE "^ +$program - " <<<"$text" || fail "$program(1) does not name the program in NAME"
  grep -qF "$program 1.0 (revision " <<<"$text" || fail "$program(1) lacks the version line"

  help=$(QT_QPA_PLATFORM=offscreen "$path" --help)
  options=$(grep -oE -- '(^|[][ ,(])--?[a-zA-Z][a-zA-Z0-9-]*' <<<"$help" | sed -E 's/^[][ ,(]//' | sort -u)
  [ "$(wc -l <<<"$options")" -ge 2 ] || fail "$program --help lists no options: $help"
  for option in $options; do
    grep -qE -- "(^|[^a-zA-Z0-9-])$option([^a-zA-Z0-9-]|$)" <<<"$text" ||
      fail "$program(1) does not mention $option, which --help lists"
  done
  echo "$program(1): $(wc -l <<<"$options") options, all in the page"
done
rm -f man.err
