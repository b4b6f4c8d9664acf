#!/bin/bash
# A run over 2 MPI ranks loses a worker to SIGKILL after its second
# generation; resumed over 3 ranks with 2 threads each it must leave the
# files of the same run done in one process, uninterrupted.
#   KillAndResume.sh MPIEXEC BATCH ARENA WORK
set -u
mpiexec=$1 batch=$2 arena=$3 work=$4
fail() {
  echo "FAIL: $*" >&2
  exit 1
}
mpirun=("$mpiexec" --oversubscribe --allow-run-as-root)
args=(--arena "$arena" --seed 11 --generations 12 --population 100 --simulation-time 20 --log-evaluations --quiet)
rm -rf "$work"
mkdir -p "$work"

"$batch" "${args[@]}" --out "$work/reference" >/dev/null 2>"$work/reference.err" ||
  fail "reference run failed: $(cat "$work/reference.err")"

"${mpirun[@]}" -n 2 "$batch" "${args[@]}" --mpi --threads 1 --out "$work/run" >/dev/null 2>"$work/run.err" &
launcher=$!
# generations.csv holds its header and one row per generation done
for _ in $(seq 1 3000); do
  rows=$({ wc -l <"$work/run/generations.csv"; } 2>/dev/null || echo 0)
  [ "$rows" -ge 3 ] && break
  kill -0 "$launcher" 2>/dev/null || break
  sleep 0.01
done
victim=""
for pid in $(pgrep -x kestrovan-batch); do
  if tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q -- "--out $work/run "; then
    victim=$pid # the rank started last: a worker, as a rule
  fi
done
[ -n "$victim" ] || fail "no rank of the run to kill (it ended after $rows lines of generations.csv)"
kill -9 "$victim"
wait "$launcher" && fail "the job went on although one of its ranks was killed"
grep -q '"status": "completed"' "$work/run/manifest.json" 2>/dev/null && fail "the run completed before the kill"

timeout 300 "${mpirun[@]}" -n 3 "$batch" --mpi --threads 2 --resume "$work/run" --quiet >/dev/null 2>"$work/resume.err" ||
  fail "resume over 3 ranks failed: $(cat "$work/resume.err")"

# every file byte for byte; the manifest and the checkpoint hold times, and
# generations.csv's last column is seconds
for file in "$work/reference"/*; do
  name=$(basename "$file")
  case "$name" in
  manifest.json | checkpoint.kcp) continue ;;
  generations.csv)
    cmp -s <(sed 's/,[^,]*$//' "$file") <(sed 's/,[^,]*$//' "$work/run/$name") || fail "$name differs"
    ;;
  *) cmp -s "$file" "$work/run/$name" || fail "$name differs after the resume" ;;
  esac
done
count=$(ls "$work/reference" | wc -l)
[ "$(ls "$work/run" | wc -l)" -eq "$count" ] || fail "the resumed run holds other files: $(ls "$work/run")"
echo "killed after $((rows - 1)) generations; resumed over 3 ranks: $count files identical"
