#!/usr/bin/env bash
# Builds the core with ThreadSanitizer and runs the tests that evaluate on
# several threads: the run loop and its evaluators, the golden results
# (1 and 2 threads) and the batch runner end to end.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)

cmake -S . -B build/tsan -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTROVAN_SANITIZE_THREADS=ON -DKESTROVAN_BUILD_GUI=OFF \
  -DKESTROVAN_BUILD_TESTS=ON -DKESTROVAN_BUILD_BENCHMARKS=OFF \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
cmake --build build/tsan -j "$jobs" --target kestrovan_simulation_tests kestrovan_batch_tests kestrovan_golden_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/tsan --output-on-failure -j "$jobs" -R 'EvolutionRun|Seams|ThreadPool|Golden|Batch'

echo "ThreadSanitizer: all tests passed."
