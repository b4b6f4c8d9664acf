#!/usr/bin/env bash
# Installs what is missing, builds Kestrovan and checks the bundled default arena.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DKESTROVAN_BUILD_TESTS=OFF -DKESTROVAN_BUILD_BENCHMARKS=OFF
cmake --build build/release -j "$(nproc)"

build/release/app/kestrovan-arena/kestrovan-arena arenas/default.txt
