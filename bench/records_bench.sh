#!/usr/bin/env bash
# The line's records: what a records address costs a download, and the sync rate.
#   - a 1 MiB download over a pty (1 ms think time, THINK_MS; about 3 s, shorter than the
#     default connect_timeout of 5 s) with no address, with the server down (a closed port)
#     and with a silent server (a listening socket that never answers); ratio to no address
#   - the sync rate is printed by tests/records/records_server_test (four stations at once)
# Usage: bench/records_bench.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build="${1:-build-bench}"
runs="${2:-3}"
. "$(dirname "$0")/bench_common.sh"
bench_prepare "$build"

# A socket that takes connections and never answers.
exec 4< <(exec python3 -c '
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(64)
print(s.getsockname()[1], flush=True)
held = []
while True:
    held.append(s.accept())
')
silent_pid=$!
trap 'kill $silent_pid $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
read -r silent_port <&4
closed_port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')

one_download() { # $1: the records address, empty for none
    exec 3< <(exec "$sim" serial --link "$work/tty" --think "${THINK_MS:-1}" --out "$work/received.bin")
    local sim_pid=$!
    read -r _ <&3
    local t0 t1
    t0=$(date +%s.%N)
    POSFLASH_RECORDS="$1" XDG_DATA_HOME="$work/data" \
        "$cli" download --lang en --port "$work/tty" "$work/fw.bin" > /dev/null 2>&1 || true
    t1=$(date +%s.%N)
    kill -TERM "$sim_pid"; cat <&3 > /dev/null || true
    python3 -c "print($t1 - $t0)"
}

declare -A total
for case in none down silent; do total[$case]=0; done
for ((i = 0; i < runs; i++)); do
    for case in none down silent; do
        case $case in
            none) address="" ;;
            down) address="postgresql://station@127.0.0.1:$closed_port/line" ;;
            silent) address="postgresql://station@127.0.0.1:$silent_port/line" ;;
        esac
        t=$(one_download "$address")
        total[$case]=$(python3 -c "print(${total[$case]} + $t)")
    done
done
python3 - "${total[none]}" "${total[down]}" "${total[silent]}" "$runs" << 'PY'
import sys
none, down, silent, runs = map(float, sys.argv[1:])
print(f"1 MiB download, mean of {int(runs)}: no records {none / runs:.3f} s, "
      f"server down {down / runs:.3f} s (ratio {down / none:.3f}), "
      f"silent server {silent / runs:.3f} s (ratio {silent / none:.3f}); budget 1.01")
PY
