#!/usr/bin/env bash
# kestrovan-record on a 1-second replay: the video exists and ffprobe finds
# the frames and the size asked for; bad usage exits with 2.
# Usage: record-test.sh KESTROVAN-BATCH KESTROVAN-RECORD ARENA
set -euo pipefail
batch=$1 record=$2 arena=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$batch" --arena "$arena" --seed 2 --generations 1 --population 6 --simulation-time 1 --quiet --out "$work/r" >/dev/null
"$record" "$work/r/best.brain" --out "$work/replay.mp4" --size 160x120 --fps 12 2>"$work/progress.txt" >"$work/out.txt"

fail() { echo "record-test: $*" >&2; exit 1; }
[ -s "$work/replay.mp4" ] || fail "no video written"
probe=$(ffprobe -v error -count_frames -select_streams v:0 -show_entries stream=nb_read_frames,width,height \
  -of csv=p=0 "$work/replay.mp4")
[ "$probe" = "160,120,12" ] || fail "ffprobe reports '$probe', not 160x120 with 12 frames"
grep -q '12/12 frames' "$work/progress.txt" || fail "no progress bar on standard error"
grep -q '^video: .*12 frames of 160x120 at 12 fps; replay fitness ' "$work/out.txt" || fail "summary: $(cat "$work/out.txt")"

set +e
"$record" "$work/r/best.brain" --out "$work/odd.mp4" --size 161x120 2>/dev/null; odd=$?
"$record" "$work/r/best.brain" 2>/dev/null; missing=$?
"$record" "$work/none.brain" --out "$work/none.mp4" 2>"$work/none.txt"; none=$?
set -e
[ "$odd" = 2 ] || fail "an odd width exits with $odd, not 2"
[ "$missing" = 2 ] || fail "a missing --out exits with $missing, not 2"
[ "$none" = 1 ] || fail "a missing brain file exits with $none, not 1"
grep -q 'none.brain: cannot open the brain file' "$work/none.txt" || fail "missing file: $(cat "$work/none.txt")"
[ ! -e "$work/odd.mp4" ] || fail "a refused command wrote a video"
echo "record-test: passed"
