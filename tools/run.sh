#!/usr/bin/env bash
# Sets up, builds and runs the program with its picture service on loopback.
# With no display it uses a private Xvfb, waits for the first picture,
# saves a screenshot, prints its path and ends.
#
#   tools/run.sh [--bin-dir DIR] [--screenshot FILE]
#
# --bin-dir runs the programs of a tree built already, as they are: nothing
# is installed or built. --screenshot names the picture saved with no
# display (build/screenshot.png by default).
source "$(dirname "$0")/ci/common.sh"

bin=""
screenshot="$VT_ROOT/build/screenshot.png"
while [ $# -gt 0 ]; do
  case "$1" in
    --bin-dir) bin=$(cd "$2" && pwd); shift 2 ;;
    --screenshot) screenshot=$2; shift 2 ;;
    *) echo "usage: tools/run.sh [--bin-dir DIR] [--screenshot FILE]" >&2; exit 2 ;;
  esac
done
if [ -z "$bin" ]; then
  vt_need_packages "${VT_BUILD_PACKAGES[@]}"
  build="$VT_ROOT/build/release"
  vt_build "$build" -DCMAKE_BUILD_TYPE=Release -DVT_BUILD_TESTS=OFF -DVT_BUILD_BENCH=OFF
  bin="$build/bin"
fi

service_log=$(mktemp)
display_file=$(mktemp)
service_pid=""
program_pid=""
xvfb_pid=""
cleanup() {
  for pid in "$program_pid" "$service_pid" "$xvfb_pid"; do
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  done
  wait 2>/dev/null || true
  rm -f "$service_log" "$display_file"
}
trap cleanup EXIT
"$bin/picture-service" > "$service_log" 2>&1 &
service_pid=$!
for _ in $(seq 100); do grep -q listening "$service_log" && break; sleep 0.1; done
if ! grep -q listening "$service_log"; then cat "$service_log" >&2; exit 1; fi

if [ -n "${DISPLAY:-}" ]; then
  status=0
  "$bin/vellumo-tarnwick" || status=$?
  exit $status
fi

# No display: a private one, with no window manager (the window is activated
# all the same), and a screenshot once the first picture is painted.
vt_need_packages xvfb x11-utils python3-pil
# Xvfb picks a free display itself and writes its number to the descriptor.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3> "$display_file" > /dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
if [ ! -s "$display_file" ]; then echo "Xvfb did not start" >&2; exit 1; fi
export DISPLAY=":$(head -n 1 "$display_file")"
"$bin/vellumo-tarnwick" &
program_pid=$!

mkdir -p "$(dirname "$screenshot")"
# The first picture is painted once the service has served it and the window
# no longer shows the bare skin.
/usr/bin/python3 - "$service_log" "$VT_ROOT/resources/skin.png" "$screenshot" <<'EOF'
import re
import subprocess
import sys
import time

from PIL import Image, ImageGrab

service_log, skin_path, screenshot = sys.argv[1:]
skin = Image.open(skin_path).convert("RGB").tobytes()
end = time.monotonic() + 60
while time.monotonic() < end:
    info = subprocess.run(["xwininfo", "-name", "Vellumo-Tarnwick2019"], capture_output=True, text=True).stdout
    place = re.search(r"Absolute upper-left X:\s+(\d+).*?Absolute upper-left Y:\s+(\d+).*?Width:\s+(\d+).*?"
                      r"Height:\s+(\d+)", info, re.DOTALL)
    with open(service_log) as log:
        served = '" 200 ' in log.read()
    if place and served:
        x, y, width, height = map(int, place.groups())
        screen = ImageGrab.grab().convert("RGB")
        if screen.crop((x, y, x + width, y + height)).tobytes() != skin:
            screen.save(screenshot)
            sys.exit(0)
    time.sleep(0.1)
sys.exit("no picture was painted within a minute")
EOF
echo "The program showed its first picture; screenshot: $screenshot"
