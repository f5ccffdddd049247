#!/usr/bin/env bash
# Serial download against the simulated printer on a pseudo-terminal:
#   - the tool's time per frame (reply's last byte to next frame's first byte), median and p99
#   - the total time of a 1 MiB program image with zero think time
#   - CPU used while waiting for a printer that stays silent (about 9 s: the start frame's
#     three 3000 ms attempts)
# Usage: bench/serial_bench.sh [BUILD_DIR]
set -euo pipefail
build="${1:-build-bench}"
. "$(dirname "$0")/bench_common.sh"
bench_prepare "$build"

start_sim() {
    exec 3< <(exec "$sim" serial --link "$work/tty" --out "$work/received.bin" \
        --report "$work/report.json" "$@")
    sim_pid=$!
    read -r _ <&3 # the first line names the pseudo-terminal: the printer is ready
}

start_sim
t0=$(date +%s.%N)
"$cli" download --lang en --port "$work/tty" "$work/fw.bin" > /dev/null
t1=$(date +%s.%N)
kill -TERM "$sim_pid"; cat <&3 > /dev/null || true
cmp -s "$work/fw.bin" "$work/received.bin" && same=yes || same=NO
python3 - "$work/report.json" "$t0" "$t1" "$same" <<'PY'
import json, sys
r = json.load(open(sys.argv[1]))
t = r["tool_time_per_frame_us"]
print(f"1 MiB over a pty: {float(sys.argv[3]) - float(sys.argv[2]):.2f} s total "
      f"(budget 3 s), image identical: {sys.argv[4]}")
print(f"tool time per frame: median {t['median'] / 1000:.3f} ms (budget 0.2 ms), "
      f"p99 {t['p99'] / 1000:.3f} ms (budget 2 ms), max {t['max'] / 1000:.3f} ms, "
      f"{t['count']} frames")
PY

start_sim --silent
/usr/bin/time -f "%U %S %e" -o "$work/time.txt" \
    "$cli" download --lang en --port "$work/tty" "$work/fw.bin" > /dev/null 2>&1 || true
kill -TERM "$sim_pid"; cat <&3 > /dev/null || true
read -r user sys wall < <(tail -n 1 "$work/time.txt")
python3 -c "
u, s, w = $user, $sys, $wall
print(f'silent printer: {w:.1f} s waited, CPU {u + s:.2f} s = {100 * (u + s) / w:.2f} % of one core (budget 1 %)')
"
