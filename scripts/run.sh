#!/usr/bin/env bash
# Installs what is missing, builds Kestrovan, checks the bundled default arena
# and runs a short evolution on it (results in results/default/).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DKESTROVAN_BUILD_TESTS=OFF -DKESTROVAN_BUILD_BENCHMARKS=OFF
cmake --build build/release -j "$(nproc)"

# the bundled arenas are written with '.' as decimal separator
export LC_ALL=C.UTF-8

build/release/app/kestrovan-arena/kestrovan-arena arenas/default.txt

# ten generations of 100 robots with a fixed seed: the same files on every run
build/release/app/kestrovan-batch/kestrovan-batch --arena arenas/default.txt \
  --seed 1 --generations 10 --out results/default
