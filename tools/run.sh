#!/usr/bin/env bash
# Sets up, builds and runs the program with its picture service on loopback.
# With no display it uses a private Xvfb, waits for the first picture,
# saves a screenshot, prints its path and ends.
source "$(dirname "$0")/ci/common.sh"
vt_need_packages "${VT_BUILD_PACKAGES[@]}"
build="$VT_ROOT/build/release"
vt_build "$build" -DCMAKE_BUILD_TYPE=Release -DVT_BUILD_TESTS=OFF -DVT_BUILD_BENCH=OFF
bin="$build/bin"
if [ ! -x "$bin/vellumo-tarnwick" ]; then
  echo "The window is not built yet in this version: only the libraries and the picture service exist."
  exit 0
fi

service_log=$(mktemp)
"$bin/picture-service" > "$service_log" 2>&1 &
service_pid=$!
xvfb_pid=""
cleanup() {
  kill "$service_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$service_log"
}
trap cleanup EXIT
for _ in $(seq 50); do grep -q listening "$service_log" && break; sleep 0.1; done
if ! grep -q listening "$service_log"; then cat "$service_log" >&2; exit 1; fi

if [ -n "${DISPLAY:-}" ]; then
  "$bin/vellumo-tarnwick"
  exit $?
fi

# No display: a private one, and a screenshot once the first picture is in.
vt_need_packages xvfb x11-apps imagemagick
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
xvfb_pid=$!
sleep 1
DISPLAY=$display "$bin/vellumo-tarnwick" &
program_pid=$!
for _ in $(seq 100); do grep -q '" 200 ' "$service_log" && break; sleep 0.1; done
sleep 1
screenshot="$VT_ROOT/build/screenshot.png"
DISPLAY=$display import -window root "$screenshot"
kill "$program_pid" 2>/dev/null || true
echo "The program showed its first picture; screenshot: $screenshot"
