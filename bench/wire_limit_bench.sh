#!/usr/bin/env bash
# The tool against the wire's own limit: simulated printers on pseudo-terminals paced as
# 115200-baud 8N1 lines (--baud), zero think time, a program image of --size bytes (1 MiB,
# some 96 s on the wire, unless told). First one printer alone, then PRINTERS (64 unless told)
# at once through one posflash-cli download. Each printer measures the time from the first
# byte it received to the last byte it sent (the final frame's reply) and the wire time of
# every byte that crossed its line, both ways; their ratio is what the tool adds to the wire.
# Prints that ratio for the one alone (goal <= 1.003), the printers' ratios with all at once,
# the slowest of them against the one alone (goal <= 1.01), the tool's CPU, and the machine
# and its load, since other programs on the same cores show up in every figure.
# --floor runs the minimal blocking downloader (bench/blocking_downloader.cpp) the same way
# after the tool, one copy per printer, and compares: what the tool adds beyond the floor on
# the same line, machine and load.
# --realtime-tool runs posflash-cli at the printers' real-time priority too: not the budget's
# measure, but a look at what is left of the tool's share once the machine's other load cannot
# keep it waiting for a core.
# --keep DIR keeps every printer's report there (NAME-I.json: one, all, floor-one, floor-all),
# whose samples give each frame's tool time in order, for a look beyond the medians.
# Usage: bench/wire_limit_bench.sh [--size BYTES[K|M]] [--printers N] [--baud N]
#                                  [--floor] [--realtime-tool] [--keep DIR] [BUILD_DIR]
set -euo pipefail
size=1M
count=64
baud=115200
build=build-bench
tool_priority=()
floor=no
keep=
while [ $# -gt 0 ]; do
    case "$1" in
    --realtime-tool) tool_priority=(chrt -f 10); shift ;;
    --floor) floor=yes; shift ;;
    --size) size="${2:?--size wants a byte count, K or M for KiB or MiB}"; shift 2 ;;
    --printers) count="${2:?--printers wants a count}"; shift 2 ;;
    --baud) baud="${2:?--baud wants bits per second}"; shift 2 ;;
    --keep) keep="${2:?--keep wants a folder}"; shift 2 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) build="$1"; shift ;;
    esac
done
case "$size" in
*K) image_size=$(( ${size%K} * 1024 )) ;;
*M) image_size=$(( ${size%M} * 1024 * 1024 )) ;;
*) image_size=$(( size )) ;;
esac 2> /dev/null || { echo "--size wants a byte count, K or M for KiB or MiB" >&2; exit 2; }
[ "$image_size" -ge 16 ] || { echo "--size wants at least 16 bytes" >&2; exit 2; }
[[ "$count" =~ ^[1-9][0-9]*$ ]] || { echo "--printers wants a count from 1" >&2; exit 2; }
. "$(dirname "$0")/bench_common.sh"
bench_prepare "$build" blocking_downloader
minimal="$build/bench/blocking_downloader"
# The printers are the instrument: as root they run at a real-time priority, so that they keep
# the wire's time however busy the machine is and what is left over is the tool's. Their CPU
# is small (two wake-ups a frame).
keep_time=()
if [ "$(id -u)" = 0 ] && chrt -f 10 true 2> /dev/null; then
    keep_time=(chrt -f 10)
fi
if [ ${#tool_priority[@]} -gt 0 ] && [ ${#keep_time[@]} -eq 0 ]; then
    echo "--realtime-tool needs root and a real-time priority" >&2
    exit 2
fi

sim_prefix=(${keep_time[@]+"${keep_time[@]}"})
start_sims() { bench_start_sims "$1" --baud "$baud" --think 0; }
stop_sims() { bench_stop_sims; }

# run N NAME [floor]: downloads to printers 1..N at once, by posflash-cli or by one floor
# process per printer, and keeps the printers' reports as NAME-I.json.
run() {
    start_sims "$1"
    if [ "${3:-}" = floor ]; then
        local floors=()
        for i in $(seq 1 "$1"); do
            "${tool_priority[@]}" "$minimal" "$work/p$i/tty" "$work/fw.bin" 2> /dev/null &
            floors+=($!)
        done
        wait "${floors[@]}"
    else
        local ports=()
        for i in $(seq 1 "$1"); do ports+=(--port "$work/p$i/tty"); done
        [ "$1" -gt 1 ] || ports+=(--json) # the same runner and output for one printer
        /usr/bin/time -f "%e %U %S" -o "$work/$2.time" \
            "${tool_priority[@]}" "$cli" download --lang en "${ports[@]}" "$work/fw.bin" > /dev/null
    fi
    stop_sims
    for i in $(seq 1 "$1"); do
        cmp -s "$work/fw.bin" "$work/p$i/received.bin" || { echo "$2: printer $i's image differs" >&2; exit 1; }
        cp "$work/p$i/report.json" "$work/$2-$i.json"
        [ -z "$keep" ] || { mkdir -p "$keep" && cp "$work/$2-$i.json" "$keep/"; }
    done
}

echo "machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "simulated printers: ${keep_time[*]:-normal priority (not root)}; posflash-cli: ${tool_priority[*]:-normal priority}"
run 1 one
[ "$count" -gt 1 ] && run "$count" all
if [ "$floor" = yes ]; then
    run 1 floor-one floor
    [ "$count" -gt 1 ] && run "$count" floor-all floor
fi
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
python3 - "$work" "$count" "$image_size" "$baud" <<'PY'
import json, statistics, sys
work, n, size, baud = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
frames = -(-size // 512) + 3  # data frames, the start and the two closing frames
def wire(name, i):
    r = json.load(open(f"{work}/{name}-{i}.json"))
    w, t = r["wire"], r["tool_time_per_frame_us"]
    return w["first_byte_to_last_reply_us"] / 1e6, w["wire_time_us"] / 1e6, w, t
def cpu(name):
    wall, user, system = map(float, open(f"{work}/{name}.time").read().split()[-3:])
    return wall, user + system
span, on_wire, w, t = wire("one", 1)
wall, used = cpu("one")
print(f"one printer, {size} bytes at {baud} baud: {w['bytes_received']} bytes in, "
      f"{w['bytes_sent']} out, {on_wire:.3f} s on the wire")
print(f"  first byte to final reply {span:.3f} s: {span / on_wire:.5f} x the wire time (goal <= 1.003), "
      f"{1e3 * (span - on_wire) / frames:.3f} ms a frame beyond the wire")
tool = sum(t["samples"]) / 1e6
print(f"  of the {span - on_wire:.3f} s beyond the wire, {tool:.3f} s are the tool's (each reply's last "
      f"byte to the next frame's first, summed: {(on_wire + tool) / on_wire:.5f} x the wire time), "
      f"the rest the printer's own lateness")
print(f"  tool time per frame median {t['median'] / 1000:.3f} ms, p99 {t['p99'] / 1000:.3f} ms; "
      f"posflash-cli {wall:.2f} s in all, CPU {used:.2f} s ({1e6 * used / frames:.1f} us a frame)")
if n > 1:
    runs = [wire("all", i) for i in range(1, n + 1)]
    ratios = sorted(s / o for s, o, _, _ in runs)
    slowest = max(s for s, _, _, _ in runs)
    wall, used = cpu("all")
    print(f"{n} printers at once: first byte to final reply / wire time: median {statistics.median(ratios):.5f}, "
          f"worst {ratios[-1]:.5f}")
    print(f"  slowest printer {slowest:.3f} s / one alone {span:.3f} s = {slowest / span:.4f} (goal <= 1.01)")
    tool_ratios = sorted((o + sum(t["samples"]) / 1e6) / o for _, o, _, t in runs)
    print(f"  the tool's share alone: median {statistics.median(tool_ratios):.5f}, worst {tool_ratios[-1]:.5f}")
    print(f"  tool time per frame: median of medians {statistics.median(r[3]['median'] for r in runs) / 1000:.3f} ms, "
          f"worst p99 {max(r[3]['p99'] for r in runs) / 1000:.3f} ms")
    print(f"  posflash-cli {wall:.2f} s in all, CPU {used:.2f} s = {100 * used / wall:.1f} % of one core "
          f"({1e6 * used / frames / n:.1f} us a frame)")
import os
if os.path.exists(f"{work}/floor-one-1.json"):
    fspan, fwire, _, ft = wire("floor-one", 1)
    print(f"the floor, one printer: {fspan / fwire:.5f} x the wire time, tool time per frame median "
          f"{ft['median'] / 1000:.3f} ms, p99 {ft['p99'] / 1000:.3f} ms; "
          f"posflash-cli / floor: {span / fspan:.5f}")
    if n > 1:
        floors = [wire("floor-all", i) for i in range(1, n + 1)]
        fslowest = max(s for s, _, _, _ in floors)
        print(f"the floor, {n} at once: slowest {fslowest:.3f} s / one alone {fspan:.3f} s = "
              f"{fslowest / fspan:.4f}, median of the medians per frame "
              f"{statistics.median(r[3]['median'] for r in floors) / 1000:.3f} ms; "
              f"posflash-cli's slowest / the floor's: {slowest / fslowest:.5f}")
PY
