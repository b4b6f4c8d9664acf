# Shared by the installation tests: failing with a message, and running the
# installed programs from a folder outside the installation.

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# expect_file PATH...: each must be a regular file
expect_file() {
  for f in "$@"; do
    [ -f "$f" ] || fail "missing $f"
  done
}

# check_programs BIN DATA WORK PROGRAM...: runs the programs in BIN from the
# folder WORK (outside the installation) and checks that they print their
# version and find the bundled arenas in DATA by name.
check_programs() {
  local bin=$1 data work=$3
  data=$(realpath "$2")
  shift 3
  mkdir -p "$work"
  (
    cd "$work"
    for program in "$@"; do
      local version
      if [ "$program" = kestrovan ]; then
        version=$(QT_QPA_PLATFORM=offscreen "$bin/$program" --version) || fail "$program --version failed"
      else
        version=$("$bin/$program" --version) || fail "$program --version failed"
      fi
      [[ "$version" == "$program "[0-9]*" (revision "*")" ]] || fail "$program --version printed '$version'"
    done

    # the checker finds both bundled arenas by name and says which file it read
    local listing
    listing=$("$bin/kestrovan-arena" default furnished.txt) || fail "kestrovan-arena default furnished.txt failed"
    [[ "$listing" == "$data/arenas/default.txt: "* ]] || fail "kestrovan-arena read another file: $listing"
    grep -qF "$data/arenas/furnished.txt: " <<<"$listing" || fail "kestrovan-arena did not read $data/arenas/furnished.txt"
    "$bin/kestrovan-arena" no-such-arena >/dev/null 2>err.log && fail "kestrovan-arena accepted a missing arena"
    grep -qF "no-such-arena" err.log || fail "the missing arena is not named: $(cat err.log)"

    # a short evolution on the bundled arena, named briefly and in full: the same files
    local run="--seed 1 --population 3 --generations 2 --simulation-time 1 --threads 2 --quiet"
    # shellcheck disable=SC2086
    "$bin/kestrovan-batch" --arena default $run --out by-name >/dev/null || fail "kestrovan-batch --arena default failed"
    # shellcheck disable=SC2086
    "$bin/kestrovan-batch" --arena "$data/arenas/default.txt" $run --out by-path >/dev/null ||
      fail "kestrovan-batch --arena $data/arenas/default.txt failed"
    expect_file by-name/descr.txt
    # the result files agree; the record files differ in times and paths
    [ "$(cd by-name && ls ./*.txt)" = "$(cd by-path && ls ./*.txt)" ] ||
      fail "the bundled arena by name and by path give different result files"
    local result
    for result in by-path/*.txt; do
      [ "$(basename "$result")" = arena.txt ] && continue
      cmp -s "$result" "by-name/$(basename "$result")" ||
        fail "the bundled arena by name and by path give different results in $(basename "$result")"
    done

    # the plotting program finds the checker beside itself
    if [[ " $* " == *" kestrovan-plot "* ]]; then
      local best
      best=$(sed -n 's/^ *"best_file": "\(.*\)",$/\1/p' by-name/manifest.json)
      env -u PATH /usr/bin/python3 "$bin/kestrovan-plot" trajectory "by-name/$best" --out trajectory.png >/dev/null ||
        fail "kestrovan-plot trajectory by-name/$best failed"
      "$bin/kestrovan-plot" fitness by-name by-path --out fitness.svg >/dev/null || fail "kestrovan-plot fitness failed"
      expect_file trajectory.png fitness.svg
    fi
  )
}
