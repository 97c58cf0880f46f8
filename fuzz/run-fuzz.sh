#!/bin/bash
# Bounded fuzz run for CI and by hand: fuzz/run-fuzz.sh <build folder> [seconds]
# Writes a fresh seed corpus, grows a working corpus kept in the build folder
# between runs, and fails when the target crashes, leaks, times out or runs
# out of memory; the offending input is left in <build>/fuzz-artifacts/.
# Turn each such input into a regression test in tests/engine.
set -euo pipefail
build=${1:?usage: $0 <build folder> [seconds]}
seconds=${2:-60}
fuzzer="$build/fuzz/vizuvod_fuzz_codec"
seeds="$build/fuzz-seeds"
corpus="$build/fuzz-corpus"
artifacts="$build/fuzz-artifacts"

rm -rf "$seeds"
mkdir -p "$corpus" "$artifacts"
"$build/fuzz/vizuvod_fuzz_seeds" "$seeds"

# One process: the machine's two cores are shared with the rest of CI.
# -timeout: no single photo may take this long (a hang is a finding);
# -rss_limit_mb: a decompression bomb that slips through shows up here.
status=0
ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1} \
UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1} \
"$fuzzer" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -max_len=200000 \
  -dict="$(dirname "$0")/jpeg.dict" \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$seeds" >"$build/fuzz-last.log" 2>&1 || status=$?
grep -E "^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::number_of_executed_units|ERROR|SUMMARY|Test unit written" "$build/fuzz-last.log" || true
if [ "$status" -ne 0 ]; then
  echo "fuzzing found a fault (exit $status); full log: $build/fuzz-last.log" >&2
  tail -n 60 "$build/fuzz-last.log" >&2
fi
exit "$status"
