#!/usr/bin/env bash
# Builds the libFuzzer targets with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer and runs each for SECONDS (default 20) from its
# committed seed corpus and dictionary. Fails on any finding (crash, leak,
# undefined behaviour, timeout, memory above 2 GB); the reproducer is left in
# build/fuzz/findings/. A longer run: scripts/fuzz.sh 3600
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-20}

cmake -S . -B build/fuzz -G Ninja \
  -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTROVAN_BUILD_FUZZERS=ON -DKESTROVAN_BUILD_GUI=OFF \
  -DKESTROVAN_BUILD_TESTS=OFF -DKESTROVAN_BUILD_BENCHMARKS=OFF ${KESTROVAN_CCACHE:-} >/dev/null
cmake --build build/fuzz -j "$(nproc)" --target fuzz-ArenaLoader fuzz-InformationLine fuzz-BatchOptions fuzz-ExperimentFile \
  fuzz-TextureImage fuzz-CheckpointReader fuzz-BrainFile

findings=build/fuzz/findings
mkdir -p "$findings"
run() {
  local target=$1 corpus=$2 dict=$3
  # new inputs go to a scratch corpus; the committed seeds stay as they are
  local scratch=build/fuzz/corpus/$target
  mkdir -p "$scratch"
  echo "fuzzing $target for $seconds s" >&2
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=0 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "build/fuzz/fuzz/fuzz-$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -dict="$dict" -artifact_prefix="$findings/$target-" -print_final_stats=0 \
      "$scratch" "$corpus" 2>"build/fuzz/$target.log" ||
    { tail -n 40 "build/fuzz/$target.log" >&2; echo "fuzz-$target found a fault" >&2; return 1; }
}
run ArenaLoader fuzz/corpus/arena fuzz/arena.dict
run InformationLine fuzz/corpus/information-line fuzz/arena.dict
run BatchOptions fuzz/corpus/batch-options fuzz/batch-options.dict
run ExperimentFile fuzz/corpus/experiment fuzz/experiment.dict
run TextureImage fuzz/corpus/texture fuzz/texture.dict
run CheckpointReader fuzz/corpus/checkpoint fuzz/checkpoint.dict
run BrainFile fuzz/corpus/brain fuzz/brain.dict
echo "Fuzzing found nothing." >&2
