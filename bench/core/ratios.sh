#!/usr/bin/env bash
# Runs the text benchmark and prints each operation's time as a ratio of
# its plain std::string equivalent measured in the same run.
set -euo pipefail
bench=${1:-build/release/bin/text_bench}
"$bench" --benchmark_format=csv 2>/dev/null | python3 -c '
import csv, sys
rows = {r["name"]: float(r["real_time"]) for r in csv.DictReader(l for l in sys.stdin if l.startswith(("name", "\"")))}
for name, t in rows.items():
    op, arg = name.strip("\"").split("/")
    if op.endswith("_plain"): continue
    plain = rows.get(f"\"{op}_plain/{arg}\"") or rows.get(f"{op}_plain/{arg}")
    print(f"{op} x{arg}: {t:.1f} us, plain {plain:.1f} us, ratio {t / plain:.2f}")
'
