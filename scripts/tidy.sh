#!/usr/bin/env bash
# Runs clang-tidy with the checks of .clang-tidy on the sources without Qt or
# OpenGL (the core, the experiment files, the version), with the compile
# database of a configured build folder.
# Usage: scripts/tidy.sh [BUILD_FOLDER]   (default build/test)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/test}
if [ ! -f "$build/compile_commands.json" ]; then
  echo "tidy: no $build/compile_commands.json; configure that build folder first" >&2
  exit 2
fi

mapfile -t sources < <(ls src/numerics/*.cpp src/arena/*.cpp src/ea/*.cpp src/robot/*.cpp src/simulation/*.cpp \
  src/experiment/*.cpp src/version/*.cpp)
printf '%s\n' "${sources[@]}" | xargs -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet 2>/dev/null
echo "clang-tidy: ${#sources[@]} sources clean"
