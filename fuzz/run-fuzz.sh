#!/bin/bash
# Bounded fuzz run for CI and by hand: fuzz/run-fuzz.sh <build folder> [seconds]
# Runs the JPEG target for the seconds given and the formats target for half
# as long. Each writes a fresh seed corpus, grows a working corpus kept in the
# build folder between runs, and fails when the target crashes, leaks, times
# out or runs out of memory; the offending input is left in
# <build>/fuzz-artifacts/. Turn each such input into a regression test.
set -euo pipefail
build=${1:?usage: $0 <build folder> [seconds]}
seconds=${2:-60}
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"
here=$(dirname "$0")

# fuzz TARGET SECONDS SEEDS [MORE SEED FOLDERS...]
fuzz() {
  local target=$1 time=$2 seeds=$3
  shift 3
  local corpus="$build/fuzz-corpus-$target" log="$build/fuzz-$target.log" status=0
  mkdir -p "$corpus"
  # One process: the machine's two cores are shared with the rest of CI.
  # -timeout: no single photo may take this long (a hang is a finding);
  # -rss_limit_mb: a decompression bomb that slips through shows up here.
  ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
  UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
  "$build/fuzz/vizuvod_fuzz_$target" -max_total_time="$time" -timeout=20 -rss_limit_mb=2048 \
    -max_len=200000 "${FUZZ_DICT[@]}" -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" "$seeds" "$@" >"$log" 2>&1 || status=$?
  grep -E "^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::number_of_executed_units|ERROR|SUMMARY|Test unit written" "$log" || true
  if [ "$status" -ne 0 ]; then
    echo "fuzzing $target found a fault (exit $status); full log: $log" >&2
    tail -n 60 "$log" >&2
    exit "$status"
  fi
}

rm -rf "$build/fuzz-seeds" "$build/fuzz-seeds-formats"
"$build/fuzz/vizuvod_fuzz_seeds" "$build/fuzz-seeds"
"$build/fuzz/vizuvod_fuzz_seeds" "$build/fuzz-seeds-formats" formats
FUZZ_DICT=(-dict="$here/jpeg.dict")
fuzz codec "$seconds" "$build/fuzz-seeds"
# The corpus beside the project, when there, seeds the formats target too (read only).
more=()
[ -d "$here/../../shared/corpus/formats" ] && more=("$here/../../shared/corpus/formats")
FUZZ_DICT=()
fuzz formats $((seconds / 2)) "$build/fuzz-seeds-formats" "${more[@]}"
