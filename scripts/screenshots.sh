#!/usr/bin/env bash
# Renders the main window, the dialogs and the run window to PNG files under
# docs/, under Xvfb. Usage: scripts/screenshots.sh [build folder] (default build/screenshots).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/screenshots}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKESTROVAN_BUILD_TESTS=OFF -DKESTROVAN_BUILD_BENCHMARKS=OFF
fi
cmake --build "$build" --target kestrovan-screenshots -j "$(nproc)"

mkdir -p docs
# a fixed locale, so that the pictures do not depend on who takes them
LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1600x1200x24" \
  "$build/tools/screenshots/kestrovan-screenshots" docs arenas/default.txt
