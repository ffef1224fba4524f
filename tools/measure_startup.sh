#!/usr/bin/env bash
# Measures the program's start-up on a private Xvfb display with openbox:
# the time from starting the process to the first frame on the screen (the
# skin's pixels seen where the window opens), and its resident memory
# (VmRSS) once started and idle.
#
#   bash tools/measure_startup.sh [program] [runs]
#
# The program defaults to build/release/bin/vellumo-tarnwick, runs to 10.
# Nothing listens on the picture proxy's address, so the first refresh
# fails at once and the frame stays empty.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
program=${1:-$root/build/release/bin/vellumo-tarnwick}
runs=${2:-10}
[ -x "$program" ] || { echo "no program at $program (build it first)" >&2; exit 1; }

exec /usr/bin/python3 - "$root" "$program" "$runs" <<'PY'
import pathlib
import statistics
import sys
import time

root, program, runs = pathlib.Path(sys.argv[1]), sys.argv[2], int(sys.argv[3])
sys.path.insert(0, str(root / "tests" / "app"))
from PIL import Image
from window_driver import Desktop, Program, wait_until

WIDTH, HEIGHT = 640, 480  # a small screen grabs fast
skin = Image.open(root / "resources" / "skin.png").convert("RGB")
left, top = (WIDTH - skin.width) // 2, (HEIGHT - skin.height) // 2
# Points of the title band and the artwork, away from the picture frame.
probes = [(5, 5), (100, 15), (250, 15), (20, 100), (245, 200), (200, 240)]
expected = [skin.getpixel(p) for p in probes]

desktop = Desktop(WIDTH, HEIGHT)
first_frame_ms, rss_kb, anon_kb = [], [], []
try:
    for _ in range(runs):
        started = Program(desktop, program)
        def skin_shown():
            screen = desktop.grab()
            return all(screen.getpixel((left + x, top + y)) == e for (x, y), e in zip(probes, expected))
        if not wait_until(skin_shown, timeout=10, interval=0.001):
            sys.exit("the window never showed its skin")
        first_frame_ms.append((time.monotonic() - started.started_at) * 1000)
        time.sleep(1.0)  # start-up done, idle
        status = pathlib.Path(f"/proc/{started.process.pid}/status").read_text()
        fields = dict(l.split(":", 1) for l in status.splitlines() if ":" in l)
        rss_kb.append(int(fields["VmRSS"].split()[0]))
        anon_kb.append(int(fields["RssAnon"].split()[0]))
        started.stop()
finally:
    desktop.stop()

print(f"runs: {runs}")
print(f"first frame: median {statistics.median(first_frame_ms):.0f} ms, "
      f"min {min(first_frame_ms):.0f} ms, max {max(first_frame_ms):.0f} ms")
print(f"VmRSS after start-up: median {statistics.median(rss_kb) / 1024:.1f} MB, max {max(rss_kb) / 1024:.1f} MB "
      f"(of which the program's own memory, RssAnon: median {statistics.median(anon_kb) / 1024:.1f} MB)")
PY
