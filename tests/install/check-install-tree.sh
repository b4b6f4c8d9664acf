#!/usr/bin/env bash
# Installs the build into a temporary prefix, checks the layout, moves the
# prefix elsewhere and runs the programs from a third folder: they must find
# the bundled arenas beside themselves.
# usage: check-install-tree.sh BUILD_DIR SOURCE_DIR SCRATCH_DIR PROGRAM...
set -euo pipefail
build=$1 source=$2 scratch=$3
shift 3
programs=("$@")
. "$(dirname "$0")/common.sh"

rm -rf "$scratch"
mkdir -p "$scratch"
cmake --install "$build" --prefix "$scratch/prefix" >/dev/null || fail "cmake --install failed"
prefix=$scratch/prefix

# the programs, their manual pages, the arenas with every texture, the documents
for program in "${programs[@]}"; do
  [ -x "$prefix/bin/$program" ] || fail "missing program bin/$program"
  expect_file "$prefix/share/man/man1/$program.1.gz"
done
(cd "$source" && find arenas -type f) | while read -r f; do
  cmp -s "$source/$f" "$prefix/share/kestrovan/$f" || fail "share/kestrovan/$f is missing or differs"
done
expect_file "$prefix/share/doc/kestrovan/README.md" "$prefix/share/doc/kestrovan/LICENSE"
if [[ " ${programs[*]} " == *" kestrovan "* ]]; then
  expect_file "$prefix/share/applications/kestrovan.desktop" "$prefix/share/icons/hicolor/scalable/apps/kestrovan.svg"
  desktop-file-validate "$prefix/share/applications/kestrovan.desktop" | grep -v ': hint: ' | grep . &&
    fail "the desktop entry does not validate"
fi
# nothing else: no libraries, headers or other programs
unexpected=$(cd "$prefix" && find . -type f | grep -vE '^\./(bin/kestrovan(-arena|-batch|-plot|-record)?|share/kestrovan/.*|share/doc/kestrovan/.*|share/man/man1/kestrovan(-arena|-batch|-plot|-record)?\.1\.gz|share/applications/kestrovan\.desktop|share/icons/hicolor/scalable/apps/kestrovan\.svg)$' || true)
[ -z "$unexpected" ] || fail "unexpected files installed: $unexpected"

# a moved prefix keeps working
mv "$prefix" "$scratch/moved"
check_programs "$scratch/moved/bin" "$scratch/moved/share/kestrovan" "$scratch/work" "${programs[@]}"
rm -rf "$scratch"
echo "install tree: ${#programs[@]} programs, layout and relocation checked"
