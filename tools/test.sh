#!/usr/bin/env bash
# Sets up and runs every test: each stage under tools/ci/stages in turn
# (plain build, sanitizers, and what else is there), then one closing total.
source "$(dirname "$0")/ci/common.sh"
vt_need_packages "${VT_BUILD_PACKAGES[@]}"

failed_stages=()
start_all=$SECONDS
mkdir -p "$VT_ROOT/build"
rm -f "$VT_ROOT/build/.ctest-totals"
for stage in "$VT_ROOT"/tools/ci/stages/*.sh; do
  name=$(basename "$stage" .sh)
  vt_log "stage $name"
  start=$SECONDS
  # Each stage runs in a subshell; a failure is noted and the other stages
  # still run (errexit is off around the subshell and on inside it, so a failing
  # command ends the stage, not the whole run).
  set +e
  ( set -e; source "$stage" )
  status=$?
  set -e
  [ $status -eq 0 ] || failed_stages+=("$name")
  echo "stage $name took $((SECONDS - start)) s"
done

passed=0 failed=0
if [ -f "$VT_ROOT/build/.ctest-totals" ]; then
  while read -r p f; do passed=$((passed + p)); failed=$((failed + f)); done < "$VT_ROOT/build/.ctest-totals"
fi

echo
echo "all stages took $((SECONDS - start_all)) s"
if [ ${#failed_stages[@]} -gt 0 ]; then
  echo "failed stages: ${failed_stages[*]}"
  [ "$failed" -gt 0 ] || failed=1
fi
echo "total: $passed passed, $failed failed"
[ ${#failed_stages[@]} -eq 0 ]
