#!/usr/bin/env bash
# A production station's load: USB printers (simulated on pseudo-terminals, 32 unless told)
# and network printers (8 unless told, each simulated in a network namespace of its own behind
# a bridge in the tool's namespace, all made here and removed on exit) updated at once by
# bench/line_scale.cpp through MultiDownload on one thread. It prints the lateness of a 10 ms
# timer on that thread while the downloads run (what a window on it would feel) and the
# process's CPU share, and checks every image arrived whole. Network printers need root
# (ip netns); without it only the USB printers run.
# Usage: bench/line_scale.sh [BUILD_DIR] [USB_PRINTERS] [NETWORK_PRINTERS] [THINK_MS]
set -euo pipefail
build="${1:-build-bench}"
usb="${2:-32}"
net="${3:-8}"
think="${4:-5}"
. "$(dirname "$0")/bench_common.sh"
bench_prepare "$build" line_scale
scale="$(realpath "$build/bench/line_scale")"
sim="$(realpath "$sim")"
tool="pfl-tool-$$"
if [ "$(id -u)" != 0 ] && [ "$net" -gt 0 ]; then
    echo "not root: no network namespaces, USB printers only" >&2
    net=0
fi
cleanup() {
    kill $(jobs -p) 2>/dev/null || true
    bench_lan_remove "$tool" "$net"
    rm -rf "$work"
}
trap cleanup EXIT

fds=()
pids=()
targets=()
for i in $(seq 1 "$usb"); do
    mkdir -p "$work/u$i"
    exec {fd}< <(exec "$sim" serial --link "$work/u$i/tty" --think "$think" \
        --out "$work/u$i/received.bin" --report "$work/u$i/report.json")
    pids+=($!)
    fds+=("$fd")
    targets+=(--port "$work/u$i/tty")
done
launch=()
if [ "$net" -gt 0 ]; then
    bench_lan "$tool" pflbr0 10.79.0 "$net"
    for i in $(seq 1 "$net"); do
        ns="$tool-p$i"
        mac=$(printf '02-00-00-00-00-%02X' "$i")
        mkdir -p "$work/n$i"
        exec {fd}< <(exec ip netns exec "$ns" "$sim" net --ip "10.79.0.$((10 + i))" --mac "$mac" \
            --think "$think" --out "$work/n$i/received.bin" --report "$work/n$i/report.json")
        pids+=($!)
        fds+=("$fd")
        targets+=(--net "10.79.0.$((10 + i))" "$mac")
    done
    launch=(ip netns exec "$tool")
fi
for fd in "${fds[@]}"; do read -r _ <&"$fd"; done # each printer is listening

status=0
"${launch[@]}" "$scale" "$work/fw.bin" "$work/history.db" "${targets[@]}" || status=$?
kill -TERM "${pids[@]}" 2>/dev/null || true
for fd in "${fds[@]}"; do cat <&"$fd" > /dev/null || true; done
same=0
for d in "$work"/u* "$work"/n*; do
    [ -d "$d" ] && cmp -s "$work/fw.bin" "$d/received.bin" && same=$((same + 1))
done
echo "images identical: $same of $((usb + net)); printer think time $think ms"
python3 - "$work" <<'PY'
import glob, json, statistics, sys
medians, p99s = [], []
for f in glob.glob(sys.argv[1] + "/*/report.json"):
    t = json.load(open(f)).get("tool_time_per_frame_us")
    if t:
        medians.append(t["median"] / 1000)
        p99s.append(t["p99"] / 1000)
if medians:
    print(f"tool time per frame: median of medians {statistics.median(medians):.3f} ms, "
          f"worst p99 {max(p99s):.3f} ms")
PY
exit "$status"
