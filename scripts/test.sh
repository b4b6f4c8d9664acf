#!/usr/bin/env bash
# Installs what is missing, builds everything with the tests and benchmarks,
# and runs every test: the full build (GUI tests under Xvfb) and the core
# again under AddressSanitizer, LeakSanitizer and UndefinedBehaviorSanitizer,
# then fuzzes the readers of outside input.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

# the code follows .clang-format
scripts/check-format.sh

jobs=$(nproc)
# a compiler cache makes a rebuild of unchanged sources (the next CI run on
# this machine) cost a lookup; the results are those of the compiler itself
# (paths taken relative to the checkout, so that another clone hits too)
export KESTROVAN_CCACHE="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
export CCACHE_BASEDIR="$PWD" CCACHE_NOHASHDIR=1

cmake -S . -B build/test -G Ninja \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTROVAN_BUILD_TESTS=ON -DKESTROVAN_BUILD_BENCHMARKS=ON \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON $KESTROVAN_CCACHE
cmake --build build/test -j "$jobs"
# the core passes the clang-tidy checks of .clang-tidy
scripts/tidy.sh build/test
ctest --test-dir build/test --output-on-failure -j "$jobs"

cmake -S . -B build/asan -G Ninja \
  -DCMAKE_BUILD_TYPE=Debug -DKESTROVAN_SANITIZE=ON -DKESTROVAN_BUILD_GUI=OFF \
  -DKESTROVAN_BUILD_TESTS=ON -DKESTROVAN_BUILD_BENCHMARKS=OFF \
  -DCMAKE_COMPILE_WARNING_AS_ERROR=ON $KESTROVAN_CCACHE
cmake --build build/asan -j "$jobs"
# Under the sanitizers every test runs but the bulk arithmetic checks (millions
# of values through the same few lines, already run above) and all golden runs
# but seed 1 on 2 threads per arena (the others take the same code, other seeds).
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs" \
  -E 'NeverRejectsACylinderTheSensorSees|GivesPrintfsTextForMillionsOfValues|ReadsTheBitsOfTheExactComputation|GoldenResults.*(seed[23]|seed1_threads1)'

# every reader of outside input, fuzzed for a bounded time
scripts/fuzz.sh 10

echo "All tests passed."
