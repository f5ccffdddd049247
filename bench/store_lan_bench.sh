#!/usr/bin/env bash
# A store's LAN: N network printers (16 unless told), each in a namespace of its own behind a
# bridge in the tool's namespace, thinking THINK_MS before each reply (0 unless told). Loads a program image (1 MiB unless
# image_size is set) into the first one alone, then into all N with one posflash-cli download,
# and prints both wall times and their ratio (goal: at most 1.2). Needs root (ip netns).
#   bench/store_lan_bench.sh [BUILD_DIR] [PRINTERS] [THINK_MS]
set -euo pipefail
build="${1:-build-bench}"
n="${2:-16}"
think="${3:-0}"
. "$(dirname "$0")/bench_common.sh"
bench_prepare "$build"
sim="$(realpath "$sim")"
cli="$(realpath "$cli")"
tool="pfs-tool-$$"
cleanup() {
    kill $(jobs -p) 2>/dev/null || true
    bench_lan_remove "$tool" "$n"
    rm -rf "$work"
}
trap cleanup EXIT
bench_lan "$tool" pfsbr0 10.80.0 "$n"

# run COUNT: starts the first COUNT printers, loads the image into them with one command and
# prints its wall time in seconds; every printer must end with the image whole.
run() {
    local count="$1" fds=() pids=() targets=(--net)
    for i in $(seq 1 "$count"); do
        local mac
        mac=$(printf '02-00-00-00-01-%02X' "$i")
        mkdir -p "$work/n$i"
        rm -f "$work/n$i/received.bin"
        exec {fd}< <(exec ip netns exec "$tool-p$i" "$sim" net --ip "10.80.0.$((10 + i))" \
            --mac "$mac" --think "$think" --out "$work/n$i/received.bin")
        pids+=($!)
        fds+=("$fd")
        targets+=(--ip "10.80.0.$((10 + i))" --mac "$mac")
    done
    for fd in "${fds[@]}"; do read -r _ <&"$fd"; done # each printer is listening
    local start end
    start=$(date +%s.%N)
    XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" ip netns exec "$tool" \
        "$cli" download --link-timeout 60 "${targets[@]}" "$work/fw.bin" > "$work/out-$count.txt"
    end=$(date +%s.%N)
    kill -TERM "${pids[@]}" 2>/dev/null || true
    for fd in "${fds[@]}"; do cat <&"$fd" > /dev/null || true; done
    for i in $(seq 1 "$count"); do
        cmp -s "$work/fw.bin" "$work/n$i/received.bin" || { echo "printer $i: image not whole" >&2; exit 1; }
    done
    python3 -c "print(f'{$end - $start:.3f}')"
}

one=$(run 1)
all=$(run "$n")
python3 - "$one" "$all" "$n" <<'PY'
import sys
one, many, n = float(sys.argv[1]), float(sys.argv[2]), int(sys.argv[3])
print(f"one printer alone: {one:.2f} s; {n} at once: {many:.2f} s; ratio {many / one:.3f} (goal <= 1.2)")
PY
