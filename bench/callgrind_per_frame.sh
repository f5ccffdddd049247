#!/usr/bin/env bash
# User-space instructions per frame (callgrind) of posflash-cli and of the minimal blocking
# downloader, each less its start-up (the same command with an empty image, which links and
# ends without a frame), against a fresh simulated printer on a pseudo-terminal with a 1 MiB
# program image. Instruction counts do not move with the machine's load, unlike rusage.
# The profiles stay in OUT_DIR for callgrind_annotate --inclusive=yes.
# Usage: bench/callgrind_per_frame.sh [BUILD_DIR] [OUT_DIR]   (RelWithDebInfo is best)
set -euo pipefail
build="${1:-build-bench}"
keep="${2:-}"
. "$(dirname "$0")/bench_common.sh"
bench_prepare "$build" blocking_downloader
minimal="$build/bench/blocking_downloader"
out="${keep:-$work}"
mkdir -p "$out"

# run NAME COMMAND...: one download under callgrind against a fresh simulated printer.
run() {
    local name="$1"
    shift
    exec 3< <(exec "$sim" serial --link "$work/tty" --out "$work/received.bin")
    local sim_pid=$!
    read -r _ <&3 # the first line names the pseudo-terminal: the printer is ready
    valgrind --tool=callgrind --callgrind-out-file="$out/$name.callgrind" "$@" \
        > /dev/null 2> "$out/$name.log" || true
    kill -TERM "$sim_pid"
    cat <&3 > /dev/null || true
    case "$name" in
    *-empty) ;;
    *) cmp -s "$work/fw.bin" "$work/received.bin" || { echo "$name: image differs" >&2; exit 1; } ;;
    esac
}

: > "$work/empty.bin"
run minimal "$minimal" "$work/tty" "$work/fw.bin"
run minimal-empty "$minimal" "$work/tty" "$work/empty.bin"
run tool "$cli" download --lang en --port "$work/tty" "$work/fw.bin"
run tool-empty "$cli" download --lang en --port "$work/tty" "$work/empty.bin"

instructions() { sed -n 's/^summary: //p' "$out/$1.callgrind"; }
python3 - "$(instructions minimal)" "$(instructions minimal-empty)" "$(instructions tool)" \
    "$(instructions tool-empty)" <<'PY'
import sys
m, me, t, te = map(int, sys.argv[1:])
frames = 2048 + 3
per = lambda full, empty: (full - empty) / frames / 1000
print(f"minimal:      {per(m, me):.1f} k instructions per frame less start-up")
print(f"posflash-cli: {per(t, te):.1f} k instructions per frame less start-up")
print(f"ratio, tool / minimal: {per(t, te) / per(m, me):.2f} (goal <= 1.3)")
PY
