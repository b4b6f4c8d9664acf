#!/usr/bin/env bash
# Draws the example pictures of kestrovan-plot under docs/ from short runs:
# three seeds of each bundled experiment (20 generations of the default
# experiment on the default arena, 20 of the larger roulette-wheel experiment
# on the furnished arena), their fitness curves in one figure and the
# trajectories of two champions.
# Usage: scripts/plot-examples.sh [build folder] (default build/plot-examples).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build/plot-examples}
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTROVAN_BUILD_GUI=OFF \
    -DKESTROVAN_BUILD_TESTS=OFF -DKESTROVAN_BUILD_BENCHMARKS=OFF
fi
cmake --build "$build" --target kestrovan-batch kestrovan-arena kestrovan_plot -j "$(nproc)"

runs=$build/plot-example-runs
rm -rf "$runs"
export LC_ALL=C.UTF-8
for experiment in default large-roulette; do
  for seed in 1 2 3; do
    "$build/app/kestrovan-batch/kestrovan-batch" --experiment "experiments/$experiment.toml" --seed "$seed" \
      --generations 20 --threads 2 --out "$runs/$experiment-$seed" --quiet
  done
done

# the best file each run names in its manifest
best() { sed -n 's/^ *"best_file": "\(.*\)",$/\1/p' "$1/manifest.json"; }

plot=$build/tools/kestrovan-plot/kestrovan-plot
mkdir -p docs
"$plot" fitness "$runs"/default-* "$runs"/large-roulette-* --out docs/plot-fitness.png
"$plot" trajectory "$runs/default-1/$(best "$runs/default-1")" --out docs/plot-trajectory-default.png --size 900x700
"$plot" trajectory "$runs/large-roulette-1/$(best "$runs/large-roulette-1")" \
  --out docs/plot-trajectory-furnished.png --size 900x700
