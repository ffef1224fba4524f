# Shared by the set-up, run and test scripts. Source it; do not run it.
set -euo pipefail

VT_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
VT_JOBS=${VT_JOBS:-$(nproc)}

# Packages every build needs.
VT_BUILD_PACKAGES=(cmake ninja-build g++ pkg-config python3 python3-pil
  libgtest-dev libbenchmark-dev libpng-dev libjpeg62-turbo-dev libgif-dev
  libcurl4-openssl-dev libsdl2-dev libcpp-httplib-dev)

vt_log() { printf '\n==> %s\n' "$*"; }

# Installs the named Debian packages that are not installed yet.
vt_need_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  vt_log "installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${missing[*]} (run as root, or install them)" >&2
    return 1
  fi
  if [ -z "${VT_APT_UPDATED:-}" ]; then
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    export VT_APT_UPDATED=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# vt_build <dir> [cmake options...]: configures (once) and builds a tree.
vt_build() {
  local dir=$1; shift
  cmake -S "$VT_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -j "$VT_JOBS"
}

# vt_ctest <dir> [ctest options...]: runs tests and notes their counts in
# build/.ctest-totals for the closing total.
vt_ctest() {
  local dir=$1; shift
  local log status=0
  log=$(mktemp)
  (cd "$dir" && ctest --output-on-failure --timeout 600 -j "$VT_JOBS" "$@") 2>&1 | tee "$log" || status=$?
  local line total failed
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    failed=$(sed -E 's/.*, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    echo "$((total - failed)) $failed" >> "$VT_ROOT/build/.ctest-totals"
  fi
  rm -f "$log"
  return $status
}
