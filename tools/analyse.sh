#!/usr/bin/env bash
# Static analysis of our sources: clang-tidy with the checks in .clang-tidy,
# then cppcheck. Any finding of either fails the run.
#
#   bash tools/analyse.sh [-j N] [--tidy-only | --cppcheck-only] [PATTERN...]
#
# PATTERNs are regular expressions (Python's) searched in paths relative to
# the repository root; with any given, only the matching sources are analysed
# (e.g. `bash tools/analyse.sh '^shell/picbox/'`). Headers are analysed
# through the sources that include them. The compile database comes from a
# configure (no build) in build/analysis, or in $VT_ANALYSIS_DIR.
source "$(dirname "$0")/ci/common.sh"

jobs=$VT_JOBS
run_tidy=1 run_cppcheck=1
patterns=()
while [ $# -gt 0 ]; do
  case $1 in
    -j) jobs=$2; shift 2 ;;
    -j*) jobs=${1#-j}; shift ;;
    --tidy-only) run_cppcheck=0; shift ;;
    --cppcheck-only) run_tidy=0; shift ;;
    -h|--help) sed -n '2,11p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) patterns+=("$1"); shift ;;
  esac
done

tidy=clang-tidy-14
for tool in "$tidy" cppcheck clang++-14 python3; do
  command -v "$tool" >/dev/null || { echo "analyse: $tool is missing (apt-get install clang-tidy-14 clang-14 cppcheck)" >&2; exit 2; }
done

dir=${VT_ANALYSIS_DIR:-$VT_ROOT/build/analysis}
# clang reads the same flags clang-tidy parses with, and the fuzz targets are
# only configured with clang. Configuring writes no generated source we need:
# the embedded resources are left out below.
fuzz=OFF
[ -f "$VT_ROOT/fuzz/CMakeLists.txt" ] && fuzz=ON
CC=clang-14 CXX=clang++-14 cmake -S "$VT_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DVT_BUILD_TESTS=ON -DVT_BUILD_BENCH=ON -DVT_BUILD_FUZZ=$fuzz >/dev/null

# One entry per source of ours: no generated files, no file twice (a source
# built into several targets is analysed once). Each run has its own, so runs
# on different parts of the tree may overlap.
db=$(mktemp -d "$dir/ours.XXXXXX")
trap 'rm -rf "$db"' EXIT
python3 - "$VT_ROOT" "$dir/compile_commands.json" "$db/compile_commands.json" "${patterns[@]}" <<'EOF'
import json, os, re, sys
root, source_db, our_db, patterns = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4:]
folders = ('app', 'bench', 'core', 'fuzz', 'http', 'pictures', 'platform', 'resources', 'service', 'shell',
           'tests', 'tools')
seen, ours = set(), []
for entry in json.load(open(source_db)):
    path = os.path.relpath(os.path.join(entry['directory'], entry['file']), root)
    if path.split(os.sep)[0] not in folders or path in seen:
        continue
    if patterns and not any(re.search(p, path) for p in patterns):
        continue
    seen.add(path)
    ours.append(entry)
json.dump(ours, open(our_db, 'w'), indent=1)
EOF
mapfile -t sources < <(python3 -c 'import json,sys; [print(e["file"]) for e in json.load(open(sys.argv[1]))]' \
  "$db/compile_commands.json")
if [ ${#sources[@]} -eq 0 ]; then
  echo "analyse: no source matches ${patterns[*]}" >&2
  exit 2
fi

status=0
if [ $run_tidy -eq 1 ]; then
  vt_log "clang-tidy: ${#sources[@]} sources, $jobs at a time"
  start=$SECONDS
  # Each source's findings are printed together, and only when there are any.
  export tidy db VT_ROOT
  printf '%s\0' "${sources[@]}" | xargs -0 -P "$jobs" -n 1 bash -c '
    out=$("$tidy" -p "$db" --quiet --header-filter="^$VT_ROOT/(app|bench|core|fuzz|http|pictures|platform|resources|service|shell|tests|tools)/" "$1" 2>&1) && exit 0
    printf "%s\n" "$out" | grep -v -E "generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^Error while processing"
    exit 1' _ || status=1
  echo "clang-tidy took $((SECONDS - start)) s"
fi

if [ $run_cppcheck -eq 1 ]; then
  vt_log "cppcheck: ${#sources[@]} sources, $jobs at a time"
  start=$SECONDS
  # Finding no system header is expected: they are not ours to check.
  mkdir -p "$dir/cppcheck-cache"
  cppcheck --project="$db/compile_commands.json" --cppcheck-build-dir="$dir/cppcheck-cache" \
    --library=googletest --library=posix --enable=warning,performance,portability \
    --suppressions-list="$VT_ROOT/tools/cppcheck-suppressions.txt" --inline-suppr \
    --error-exitcode=1 -j "$jobs" --quiet \
    --template='{file}:{line}:{column}: {severity}: {message} [{id}]' || status=1
  echo "cppcheck took $((SECONDS - start)) s"
fi

if [ $status -eq 0 ]; then
  vt_log "analysis clean"
else
  vt_log "analysis found faults (above)"
fi
exit $status
