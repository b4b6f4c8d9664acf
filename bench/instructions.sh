#!/usr/bin/env bash
# Instructions and C math library calls per simulation step of a population
# pass (generation 1 of a seeded population of 100, default robot, 20 s at
# 0.01 s), counted by callgrind around the pass alone (PassOnce).
#
#   bench/instructions.sh [POPULATION-PASS] [population-pass options...]
#
# POPULATION-PASS defaults to build/bench/bench/population-pass (a build with
# -DKESTROVAN_BUILD_BENCHMARKS=ON, Release). Needs valgrind.
set -euo pipefail

program=${1:-build/bench/bench/population-pass}
shift || true
if ! command -v valgrind >/dev/null; then
  echo "instructions.sh: valgrind is missing (scripts/install-deps.sh installs it)" >&2
  exit 1
fi
if [ ! -x "$program" ]; then
  echo "instructions.sh: no program '$program'; build the target population-pass" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
valgrind --tool=callgrind --toggle-collect='*PassOnce*' --compress-strings=no --compress-pos=no \
  --callgrind-out-file="$work/callgrind.out" "$program" "$@" >"$work/pass.txt" 2>"$work/valgrind.txt" || {
  cat "$work/valgrind.txt" >&2
  exit 1
}
steps=$(awk -F': ' '/^steps per pass/ {print $2}' "$work/pass.txt")
fitness=$(awk -F': ' '/^fitness sum/ {print $2}' "$work/pass.txt")

# Calls from outside libm into libm, per callee; a libm function calling
# another (atan2 and its kernel) counts once.
awk -v steps="$steps" -v fitness="$fitness" '
  /^summary:/ { total = $2 }
  /^ob=/ { ob = substr($0, 4) }
  /^fn=/ { callerInLibm = (ob ~ /libm[.-]/) }
  /^cob=/ { cob = substr($0, 5) }
  /^cfn=/ { cfn = substr($0, 5) }
  /^calls=/ {
    split(substr($0, 7), count, " ")
    callee = (cob != "" ? cob : ob)
    if (!callerInLibm && callee ~ /libm[.-]/) { libm[cfn] += count[1]; libmTotal += count[1] }
    cob = ""
  }
  END {
    printf "steps: %d\nfitness sum: %s\ninstructions per step: %.0f\nlibm calls per step: %.2f\n", steps, fitness, total / steps, libmTotal / steps
    for (f in libm) printf "  %-24s %.2f\n", f, libm[f] / steps
  }' "$work/callgrind.out"
