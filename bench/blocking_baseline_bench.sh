#!/usr/bin/env bash
# The tool's time per frame against the floor of a minimal blocking downloader (write a frame,
# block in read() for the reply, next frame; no event loop), both against the same simulated
# printer on the same kind of pseudo-terminal, a 1 MiB program image, zero think time. The
# simulator measures each one: from the last byte of its reply to the first byte of the next
# frame. The two alternate, RUNS times each, so machine load falls on both alike.
# Usage: bench/blocking_baseline_bench.sh [BUILD_DIR] [RUNS]   (Release tree in build-bench)
set -euo pipefail
build="${1:-build-bench}"
runs="${2:-5}"
. "$(dirname "$0")/bench_common.sh"
bench_prepare "$build" blocking_downloader
minimal="$build/bench/blocking_downloader"

# run NAME COMMAND...: one download against a fresh simulated printer, its report kept.
run() {
    local name="$1"
    shift
    exec 3< <(exec "$sim" serial --link "$work/tty" --out "$work/received.bin" \
        --report "$work/$name.json")
    local sim_pid=$!
    read -r _ <&3 # the first line names the pseudo-terminal: the printer is ready
    "$@" > /dev/null 2>&1
    kill -TERM "$sim_pid"
    cat <&3 > /dev/null || true
    cmp -s "$work/fw.bin" "$work/received.bin" || { echo "$name: image differs" >&2; exit 1; }
}

for i in $(seq "$runs"); do
    run "minimal-$i" "$minimal" "$work/tty" "$work/fw.bin"
    run "tool-$i" "$cli" download --lang en --port "$work/tty" "$work/fw.bin"
done

python3 - "$work" "$runs" <<'PY'
import json, statistics, sys
work, runs = sys.argv[1], int(sys.argv[2])
def figures(name):
    t = [json.load(open(f"{work}/{name}-{i}.json"))["tool_time_per_frame_us"]
         for i in range(1, runs + 1)]
    return [x["median"] for x in t], [x["p99"] for x in t]
mm, mp = figures("minimal")
tm, tp = figures("tool")
fmt = lambda xs: " / ".join(f"{x / 1000:.3f}" for x in xs)
print(f"minimal blocking downloader: median {fmt(mm)} ms, p99 {fmt(mp)} ms")
print(f"posflash-cli:                median {fmt(tm)} ms, p99 {fmt(tp)} ms")
ratio = statistics.median(tm) / statistics.median(mm)
print(f"ratio of the medians' medians: {ratio:.2f} (goal <= 1.1)")
PY
