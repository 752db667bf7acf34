#!/usr/bin/env bash
# Runs every libFuzzer target of a sanitizer build for a bounded time from its seed corpus.
#   scripts/fuzz.sh [build-dir]     FUZZ_SECONDS per target (default 20)
# New inputs go to a scratch copy of the corpus; an input that breaks a rule or crashes is
# kept as build-dir/fuzz-artifacts/<target>-crash-* and the script fails: make it a
# regular test, fix the code, and add the input to fuzz/corpus/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-sanitize}
seconds=${FUZZ_SECONDS:-20}
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$PWD/scripts/lsan.supp:print_suppressions=0}"
export QT_QPA_PLATFORM=offscreen
mkdir -p "$dir/fuzz-artifacts"
failed=0
for corpus in fuzz/corpus/*/; do
  t=$(basename "$corpus")
  scratch=$(mktemp -d)
  cp "$corpus"* "$scratch"/
  if "$dir/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2560 -print_final_stats=1 \
       -artifact_prefix="$dir/fuzz-artifacts/$t-" "$scratch" >"$dir/fuzz-artifacts/$t.log" 2>&1; then
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$dir/fuzz-artifacts/$t.log" | grep -o '[0-9]*$' || echo '?')
    echo "fuzz $t: ${seconds}s, $runs runs, no failure"
  else
    echo "fuzz $t: FAILED, see $dir/fuzz-artifacts/$t.log"
    tail -30 "$dir/fuzz-artifacts/$t.log"
    failed=1
  fi
  rm -rf "$scratch"
done
exit $failed
