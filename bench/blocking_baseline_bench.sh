#!/usr/bin/env bash
# The tool's time per frame against the floor of a minimal blocking downloader (discard pending
# input, write a frame, block in read() for the reply, next frame; no event loop), both against the same simulated
# printer on the same kind of pseudo-terminal, a 1 MiB program image, zero think time. The
# simulator measures each one: from the last byte of its reply to the first byte of the next
# frame. The two alternate, RUNS times each, so machine load falls on both alike. Each one's CPU
# (user + system, from the kernel's rusage of the finished process) is reported per frame, raw
# and less its start-up: the CPU of the same command with an empty image, which links and
# ends without a frame.
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
    "$(dirname "$0")/rusage.py" "$work/$name.cpu" "$@" || true
    kill -TERM "$sim_pid"
    cat <&3 > /dev/null || true
    case "$name" in
    *-empty-*) ;;
    *) cmp -s "$work/fw.bin" "$work/received.bin" || { echo "$name: image differs" >&2; exit 1; } ;;
    esac
}

: > "$work/empty.bin"
for i in $(seq "$runs"); do
    run "minimal-$i" "$minimal" "$work/tty" "$work/fw.bin"
    run "tool-$i" "$cli" download --lang en --port "$work/tty" "$work/fw.bin"
    run "minimal-empty-$i" "$minimal" "$work/tty" "$work/empty.bin"
    run "tool-empty-$i" "$cli" download --lang en --port "$work/tty" "$work/empty.bin"
done

python3 - "$work" "$runs" <<'PY'
import json, statistics, sys
work, runs = sys.argv[1], int(sys.argv[2])
frames = 2048 + 3
def cpu(name):
    return [sum(map(float, open(f"{work}/{name}-{i}.cpu").read().split()[-2:]))
            for i in range(1, runs + 1)]
cpu_line = {}
for who in ("minimal", "tool"):
    full, empty = statistics.median(cpu(who)), statistics.median(cpu(f"{who}-empty"))
    cpu_line[who] = (1e6 * full / frames, 1e6 * max(full - empty, 0) / frames)
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
print(f"ratio of the medians' medians: {ratio:.2f} (goal <= 1.0)")
for who, (raw, net) in cpu_line.items():
    print(f"{who:8s} CPU per frame: {raw:.1f} us raw, {net:.1f} us less start-up")
print(f"CPU per frame ratio, tool / minimal: {cpu_line['tool'][0] / cpu_line['minimal'][0]:.2f} raw, "
      f"{cpu_line['tool'][1] / max(cpu_line['minimal'][1], 1e-9):.2f} less start-up (goal <= 1.3)")
PY
