#!/usr/bin/env bash
# A 1 MiB program image over UDP between two network namespaces (made here, removed on
# exit), through BOOTP, with the simulated printer at zero think time: the total time and
# the tool's time per frame. Needs root (ip netns).
# Usage: bench/network_bench.sh [BUILD_DIR]
set -euo pipefail
build="${1:-build-bench}"
if [ ! -f "$build/CMakeCache.txt" ]; then
    cmake -S "$(dirname "$0")/.." -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DPOSFLASH_BUILD_TESTS=OFF > /dev/null
fi
cmake --build "$build" --target posflash-cli posflash-printer-sim > /dev/null
sim="$(realpath "$build/tools/printer-sim/posflash-printer-sim")"
cli="$(realpath "$build/src/cli/posflash-cli")"
work="$(mktemp -d)"
tool="pfb-tool-$$"
printer="pfb-prn-$$"
cleanup() {
    kill $(jobs -p) 2>/dev/null || true
    ip netns del "$tool" 2>/dev/null || true
    ip netns del "$printer" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

ip netns add "$tool"
ip netns add "$printer"
ip link add pfb0 netns "$tool" type veth peer name pfb1 netns "$printer"
ip -n "$tool" addr add 10.78.0.1/24 dev pfb0
ip -n "$printer" addr add 10.78.0.2/24 dev pfb1
for ns in "$tool" "$printer"; do ip -n "$ns" link set lo up; done
ip -n "$tool" link set pfb0 up
ip -n "$printer" link set pfb1 up
ip -n "$printer" route add default dev pfb1

python3 - "$work/fw.bin" <<'PY'
import struct, sys, random
random.seed(2)
body = bytes(random.getrandbits(8) for _ in range(1024 * 1024 - 4))
open(sys.argv[1], "wb").write(body + struct.pack("<I", sum(body) & 0xFFFFFFFF))
PY

exec 3< <(exec ip netns exec "$printer" "$sim" net --ip 10.78.0.2 --mac 00-11-22-33-44-55 \
    --out "$work/received.bin" --report "$work/report.json")
sim_pid=$!
read -r _ <&3 # READY: the printer's sockets are bound
t0=$(date +%s.%N)
ip netns exec "$tool" "$cli" download --lang en --net --ip 10.78.0.2 \
    --mac 00-11-22-33-44-55 "$work/fw.bin" > "$work/cli.out"
t1=$(date +%s.%N)
kill -TERM "$sim_pid"; cat <&3 > /dev/null || true
cmp -s "$work/fw.bin" "$work/received.bin" && same=yes || same=NO
python3 - "$work/report.json" "$t0" "$t1" "$same" "$work/cli.out" <<'PY'
import json, re, sys
r = json.load(open(sys.argv[1]))
t = r["tool_time_per_frame_us"]
done = re.findall(r"completed in ([0-9.]+) s", open(sys.argv[5]).read())
print(f"1 MiB over UDP between namespaces: {done[-1] if done else '?'} s from the job's start to "
      f"the last frame (budget 2 s); {float(sys.argv[3]) - float(sys.argv[2]):.2f} s in all with "
      f"the process's "
      f"BOOTP link and start-up; image identical: {sys.argv[4]}")
print(f"tool time per frame: median {t['median'] / 1000:.3f} ms (budget 0.2 ms), "
      f"p99 {t['p99'] / 1000:.3f} ms (budget 2 ms), max {t['max'] / 1000:.3f} ms, "
      f"{t['count']} frames")
PY
