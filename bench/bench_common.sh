# Sourced by the serial benchmarks. bench_prepare BUILD [TARGET...] builds posflash-cli, the
# simulated printer and any further targets into BUILD (a Release tree, unless BUILD already
# is one), sets $sim and $cli, and makes a scratch folder $work, removed on exit, holding a
# program image with its trailer sum at $work/fw.bin: $image_size bytes, 1 MiB unless set.
bench_prepare() {
    build="$1"
    shift
    if [ ! -f "$build/CMakeCache.txt" ]; then
        cmake -S "$(dirname "$0")/.." -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
            -DPOSFLASH_BUILD_TESTS=OFF > /dev/null
    fi
    cmake --build "$build" --target posflash-cli posflash-printer-sim "$@" > /dev/null
    sim="$build/tools/printer-sim/posflash-printer-sim"
    cli="$build/src/cli/posflash-cli"
    work="$(mktemp -d)"
    trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
    python3 - "$work/fw.bin" "${image_size:-1048576}" << 'PY'
import struct, sys, random
random.seed(1)
body = bytes(random.getrandbits(8) for _ in range(int(sys.argv[2]) - 4))
open(sys.argv[1], "wb").write(body + struct.pack("<I", sum(body) & 0xFFFFFFFF))
PY
}

# bench_start_sims N SIM_ARGS...: N simulated printers on pseudo-terminals $work/pI/tty, each
# writing what it received and its report beside it, prefixed by the array sim_prefix (a
# priority, say) when set; returns once every one has made its link.
bench_start_sims() {
    local n="$1"
    shift
    pids=()
    fds=()
    for i in $(seq 1 "$n"); do
        mkdir -p "$work/p$i"
        rm -f "$work/p$i/received.bin" "$work/p$i/report.json"
        exec {fd}< <(exec ${sim_prefix[@]+"${sim_prefix[@]}"} "$sim" serial "$@" \
            --link "$work/p$i/tty" --out "$work/p$i/received.bin" --report "$work/p$i/report.json")
        pids+=($!)
        fds+=("$fd")
    done
    for fd in "${fds[@]}"; do read -r _ <&"$fd"; done
}
# Ends the printers bench_start_sims started; their reports are then complete.
bench_stop_sims() {
    kill -TERM "${pids[@]}"
    for fd in "${fds[@]}"; do
        cat <&"$fd" > /dev/null || true
        exec {fd}<&-
    done
}

# bench_lan TOOL_NS BRIDGE NET N: a namespace TOOL_NS holding bridge BRIDGE at NET.1/24, and N
# printer namespaces "$TOOL_NS-pI", each behind a veth on the bridge at NET.(10+I); the caller
# removes them (bench_lan_remove).
bench_lan() {
    local tool="$1" bridge="$2" net="$3" n="$4"
    ip netns add "$tool"
    ip -n "$tool" link set lo up
    ip -n "$tool" link add "$bridge" type bridge
    ip -n "$tool" addr add "$net.1/24" dev "$bridge"
    ip -n "$tool" link set "$bridge" up
    for i in $(seq 1 "$n"); do
        local ns="$tool-p$i"
        ip netns add "$ns"
        ip link add "${bridge}v$i" netns "$tool" type veth peer name "${bridge}p$i" netns "$ns"
        ip -n "$tool" link set "${bridge}v$i" master "$bridge" up
        ip -n "$ns" addr add "$net.$((10 + i))/24" dev "${bridge}p$i"
        ip -n "$ns" link set lo up
        ip -n "$ns" link set "${bridge}p$i" up
        ip -n "$ns" route add default dev "${bridge}p$i"
    done
}
bench_lan_remove() {
    local tool="$1" n="$2"
    for i in $(seq 1 "$n"); do ip netns del "$tool-p$i" 2>/dev/null || true; done
    ip netns del "$tool" 2>/dev/null || true
}
