#!/usr/bin/env bash
# Simulated printers on pseudo-terminals at once (eight unless told) against one alone: a 1 MiB
# program image each, the printer thinking 5 ms before each reply. Prints both totals, their
# ratio (budget 1.1), the CPU the tool used in all and per frame, its thread count, and the
# tool's time per frame seen by the printers.
# Usage: bench/multi_serial_bench.sh [BUILD_DIR] [PRINTERS]
set -euo pipefail
build="${1:-build-bench}"
count="${2:-8}"
. "$(dirname "$0")/bench_common.sh"
bench_prepare "$build"

# Starts printers 1..n, each in its own folder; returns once every one is listening (its
# first line names its pseudo-terminal).
start_sims() { bench_start_sims "$1" --think 5; }
stop_sims() { bench_stop_sims; }

# run N: downloads to printers 1..N at once; prints "wall user sys identical".
run() {
    start_sims "$1"
    ports=()
    for i in $(seq 1 "$1"); do ports+=(--port "$work/p$i/tty"); done
    [ "$1" -gt 1 ] || ports+=(--json) # the same runner and output for one printer
    /usr/bin/time -f "%e %U %S" -o "$work/time.txt" \
        "$cli" download --lang en "${ports[@]}" "$work/fw.bin" > /dev/null &
    local timer=$!
    # The tool's threads, read once it is well under way.
    sleep 3
    threads=$(awk '/^Threads:/ { print $2 }' "/proc/$(pgrep -P "$timer" -n)/status" 2>/dev/null || echo "?")
    wait "$timer"
    stop_sims
    same=yes
    for i in $(seq 1 "$1"); do
        cmp -s "$work/fw.bin" "$work/p$i/received.bin" || same=NO
    done
    echo "$(tail -n 1 "$work/time.txt") $same $threads"
}

read -r one_wall one_user one_sys one_same one_threads < <(run 1)
read -r all_wall all_user all_sys all_same all_threads < <(run "$count")
python3 - "$work" "$count" "$one_wall" "$one_user" "$one_sys" "$one_same" \
    "$all_wall" "$all_user" "$all_sys" "$all_same" "$one_threads" "$all_threads" <<'PY'
import json, statistics, sys
work, n = sys.argv[1], int(sys.argv[2])
ow, ou, os_, osame, aw, au, as_, asame, othreads, athreads = sys.argv[3:]
ow, ou, os_, aw, au, as_ = map(float, (ow, ou, os_, aw, au, as_))
frames = 2048 + 3  # data frames of 1 MiB, the start and the two closing frames
print(f"one printer:    {ow:.2f} s, CPU {ou + os_:.2f} s "
      f"({1e6 * (ou + os_) / frames:.1f} us a frame), {othreads} threads, image identical: {osame}")
print(f"{n} printers:     {aw:.2f} s, CPU {au + as_:.2f} s "
      f"({100 * (au + as_) / aw:.0f} % of one core, {1e6 * (au + as_) / frames / n:.1f} us a frame), "
      f"{athreads} threads, images identical: {asame}")
print(f"ratio {aw / ow:.2f} (budget 1.1)")
medians, p99s = [], []
for i in range(1, n + 1):
    t = json.load(open(f"{work}/p{i}/report.json"))["tool_time_per_frame_us"]
    medians.append(t["median"] / 1000)
    p99s.append(t["p99"] / 1000)
print(f"tool time per frame with {n} at once: median of medians {statistics.median(medians):.3f} ms, "
      f"worst p99 {max(p99s):.3f} ms")
PY
