#!/usr/bin/env bash
# Builds the libFuzzer targets (clang-14, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a while from a copy of its
# seed corpus and saved regressions. Any finding fails the run; its input is
# kept under the findings folder.
#
#   tools/fuzz.sh [seconds-per-target] [target...]
#
# Seconds default to 600 (the long run); targets default to all of them.
# VT_FUZZ_BUILD: build folder (build/fuzz); VT_FUZZ_PARALLEL: targets run
# at once (2); VT_FUZZ_FINDINGS: where finding inputs go (build/fuzz-findings);
# VT_FUZZ_TOTALS: a file to which "passed failed" is appended per target.
source "$(dirname "$0")/ci/common.sh"

seconds=${1:-600}
shift || true
build=${VT_FUZZ_BUILD:-$VT_ROOT/build/fuzz}
parallel=${VT_FUZZ_PARALLEL:-2}
findings=${VT_FUZZ_FINDINGS:-$VT_ROOT/build/fuzz-findings}

vt_log "building the fuzz targets in $build"
CC=clang-14 CXX=clang++-14 cmake -S "$VT_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVT_BUILD_FUZZ=ON -DVT_BUILD_TESTS=OFF -DVT_BUILD_BENCH=OFF -DVT_SANITIZE=address,undefined -DVT_WERROR=ON >/dev/null
cmake --build "$build" -j "$VT_JOBS" --target vt_fuzz_targets

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for dir in "$VT_ROOT"/fuzz/corpus/*/; do targets+=("$(basename "$dir")"); done
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One target: its corpus grows in the temporary folder only.
fuzz_one() {
  local name=$1
  mkdir -p "$work/$name" "$findings/$name"
  cp "$VT_ROOT/fuzz/corpus/$name"/* "$work/$name/"
  if [ -d "$VT_ROOT/fuzz/regressions/$name" ]; then cp "$VT_ROOT/fuzz/regressions/$name"/* "$work/$name/"; fi
  local status=0
  "$build/bin/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$findings/$name/" "$work/$name" >"$work/$name.log" 2>&1 || status=$?
  echo "$status" >"$work/$name.status"
}

vt_log "fuzzing ${#targets[@]} targets for $seconds s each, $parallel at a time"
running=0
for name in "${targets[@]}"; do
  if [ "$running" -ge "$parallel" ]; then
    wait -n
    running=$((running - 1))
  fi
  fuzz_one "$name" &
  running=$((running + 1))
done
wait

failed=0
printf '\n%-18s %10s %14s  %s\n' target execs/s "total execs" result
for name in "${targets[@]}"; do
  log=$work/$name.log
  status=$(cat "$work/$name.status")
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  result=clean
  [ "$status" -eq 0 ] || { result="FINDING (exit $status)"; failed=$((failed + 1)); }
  printf '%-18s %10s %14s  %s\n' "$name" "${rate:--}" "${execs:--}" "$result"
  if [ -n "${VT_FUZZ_TOTALS:-}" ]; then
    if [ "$status" -eq 0 ]; then echo "1 0" >>"$VT_FUZZ_TOTALS"; else echo "0 1" >>"$VT_FUZZ_TOTALS"; fi
  fi
done
for name in "${targets[@]}"; do
  [ "$(cat "$work/$name.status")" -eq 0 ] && continue
  vt_log "finding in $name (inputs in $findings/$name)"
  grep -v '^#' "$work/$name.log" | tail -n 60
done
[ "$failed" -eq 0 ]
