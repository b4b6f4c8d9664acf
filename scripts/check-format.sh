#!/usr/bin/env bash
# Fails when a tracked C++ file does not follow .clang-format; with --fix,
# reformats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.cpp' '*.h' 2>/dev/null || find src app tests bench tools -name '*.cpp' -o -name '*.h')
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "Some files do not follow .clang-format: run scripts/check-format.sh --fix" >&2
  exit 1
fi
echo "Formatting: ${#files[@]} files follow .clang-format"
