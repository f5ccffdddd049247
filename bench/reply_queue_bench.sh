#!/usr/bin/env bash
# Where a reply waits before the next frame goes, with many printers on the one event loop:
# PRINTERS simulated printers (64 unless told) on pseudo-terminals paced at 115200 baud, zero
# think time, a program image of --size bytes (128 KiB unless told), all loaded at once by one
# posflash-cli while perf records the system calls of every process (as root). Each printer's
# reply is followed from the printer's write of it to the tool's wake-up from ppoll, the tool's
# read of that line, and its write of the next frame; the printers' write times and the tool's
# descriptors tie them to one line each. Prints how many lines each wake-up found ready and
# the time of each leg: the kernel's hop and the machine's wait (reply to wake-up, split by
# whether the tool was asleep in ppoll when the reply was written), the queue behind the other
# lines of the same wake-up (wake-up to this line's read), and the line's own work (read to
# write). --realtime-tool runs posflash-cli at the printers' real-time priority: a look at the
# tool's own queue without the machine's other load (the pseudo-terminals' kernel workers then
# wait behind both, so the hop grows).
# Usage: bench/reply_queue_bench.sh [--size BYTES[K]] [--printers N] [--realtime-tool] [BUILD_DIR]
set -euo pipefail
size=128K
count=64
build=build-bench
tool_priority=()
while [ $# -gt 0 ]; do
    case "$1" in
    --realtime-tool) tool_priority=(chrt -f 10); shift ;;
    --size) size="${2:?--size wants a byte count, K for KiB}"; shift 2 ;;
    --printers) count="${2:?--printers wants a count}"; shift 2 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) build="$1"; shift ;;
    esac
done
case "$size" in
*K) image_size=$(( ${size%K} * 1024 )) ;;
*) image_size=$(( size )) ;;
esac 2> /dev/null || { echo "--size wants a byte count, K for KiB" >&2; exit 2; }
[[ "$count" =~ ^[1-9][0-9]*$ ]] || { echo "--printers wants a count from 1" >&2; exit 2; }
[ "$(id -u)" = 0 ] || { echo "perf's system-wide trace and the printers' priority need root" >&2; exit 2; }
command -v perf > /dev/null || { echo "needs perf (linux-perf)" >&2; exit 2; }
. "$(dirname "$0")/bench_common.sh"
bench_prepare "$build"
sim_prefix=(chrt -f 10)
bench_start_sims "$count" --baud 115200 --think 0
for i in $(seq 1 "$count"); do
    echo "printer ${pids[$((i - 1))]} $(readlink "$work/p$i/tty")"
done > "$work/lines.txt"
ports=()
for i in $(seq 1 "$count"); do ports+=(--port "$work/p$i/tty"); done
echo "machine: $(nproc) cores, $(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -n 1), load $(cut -d' ' -f1-3 /proc/loadavg)"
# The tool's descriptors are read once every line has shown progress: each is open by then.
perf record -q -a -o "$work/perf.data" \
    -e syscalls:sys_enter_write,syscalls:sys_enter_read,syscalls:sys_enter_ppoll,syscalls:sys_exit_ppoll \
    -- ${tool_priority[@]+"${tool_priority[@]}"} sh -c 'echo $$ > "$0"; exec "$@"' "$work/tool.pid" \
    "$cli" download --lang en --json "${ports[@]}" "$work/fw.bin" |
    python3 -c '
import json, os, sys
count, pid_file, out = int(sys.argv[1]), sys.argv[2], sys.argv[3]
seen, done = set(), False
for line in sys.stdin:
    event = json.loads(line)
    if event.get("event") == "progress":
        seen.add(event["target"])
    if not done and len(seen) == count:
        done = True
        pid = open(pid_file).read().strip()
        with open(out, "w") as f:
            f.write(f"tool {pid}\n")
            for fd in os.listdir(f"/proc/{pid}/fd"):
                target = os.readlink(f"/proc/{pid}/fd/{fd}")
                f.write(f"fd {fd} {target}\n")
' "$count" "$work/tool.pid" "$work/fds.txt"
bench_stop_sims
[ -s "$work/fds.txt" ] || { echo "not every printer showed progress: no trace to read" >&2; exit 1; }
for i in $(seq 1 "$count"); do
    cmp -s "$work/fw.bin" "$work/p$i/received.bin" || { echo "printer $i's image differs" >&2; exit 1; }
done
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
perf script -i "$work/perf.data" -F pid,time,event,trace 2> /dev/null > "$work/calls.txt"
python3 - "$work" <<'PY'
import bisect, collections, re, statistics, sys
work = sys.argv[1]
line_of_printer, line_of_fd = {}, {}
for row in open(f"{work}/lines.txt"):
    _, pid, pts = row.split()
    line_of_printer[int(pid)] = pts
tool = None
for row in open(f"{work}/fds.txt"):
    kind, a, *b = row.split()
    if kind == "tool":
        tool = int(a)
    elif b and b[0] in line_of_printer.values():
        line_of_fd[int(a)] = b[0]
pattern = re.compile(r"\s*(\d+)\s+([\d.]+):\s+syscalls:(\w+):\s*(.*)")
calls = []
printer_fds = collections.defaultdict(collections.Counter)
for row in open(f"{work}/calls.txt"):
    m = pattern.match(row)
    if not m:
        continue
    pid, t, name, args = int(m[1]), float(m[2]), m[3], m[4]
    fd = int(args.split(",")[0].split(":")[1], 16) if name in ("sys_enter_write", "sys_enter_read") else None
    if pid == tool or pid in line_of_printer:
        calls.append((pid, t, name, fd))
        if pid in line_of_printer and name == "sys_enter_write":
            printer_fds[pid][fd] += 1
# A printer writes its replies to its pseudo-terminal far more often than anything else.
reply_fd = {pid: c.most_common(1)[0][0] for pid, c in printer_fds.items()}
replies = collections.defaultdict(list)
for pid, t, name, fd in calls:
    if pid in line_of_printer and name == "sys_enter_write" and fd == reply_fd[pid]:
        replies[line_of_printer[pid]].append(t)
asleep, legs, batch, batches, read_at, wake, poll_enter = [], [], set(), [], {}, None, None
sleeps = []
for pid, t, name, fd in calls:
    if pid != tool:
        continue
    if name == "sys_enter_ppoll":
        poll_enter = t
    elif name == "sys_exit_ppoll":
        if poll_enter is not None:
            sleeps.append((poll_enter, t))
        if batch:
            batches.append(len(batch))
        batch, wake = set(), t
    elif name == "sys_enter_read" and fd in line_of_fd and wake is not None:
        batch.add(fd)
        read_at.setdefault(fd, (t, wake))
    elif name == "sys_enter_write" and fd in read_at:
        read, woke = read_at.pop(fd)
        times = replies[line_of_fd[fd]]
        i = bisect.bisect_left(times, read) - 1
        if i >= 0:
            legs.append((times[i], woke, read, t))
if batch:
    batches.append(len(batch))
starts = [s for s, _ in sleeps]
def was_asleep(t):
    i = bisect.bisect_right(starts, t) - 1
    return i >= 0 and sleeps[i][0] <= t <= sleeps[i][1]
def show(name, values):
    v = sorted(1e6 * x for x in values)
    if not v:
        return
    q = lambda p: v[int(p * (len(v) - 1))]
    print(f"  {name:44s} p10 {q(.1):6.0f}  median {q(.5):6.0f}  p90 {q(.9):6.0f}  p99 {q(.99):6.0f} us")
print(f"{len(legs)} replies followed on {len(line_of_fd)} lines; lines ready per wake-up: mean "
      f"{statistics.mean(batches):.1f}, median {statistics.median(batches):.0f}, most {max(batches)}")
show("reply written -> the tool's next frame written", [w - r for r, _, _, w in legs])
for label, keep in (("tool asleep in ppoll at the reply", True), ("tool busy at the reply", False)):
    part = [leg for leg in legs if was_asleep(leg[0]) == keep]
    print(f" {label}: {len(part)}")
    show("reply written -> the tool wakes", [k - r for r, k, _, _ in part])
    show("wake-up -> this line read (behind the others)", [d - k for _, k, d, _ in part])
    show("this line read -> its next frame written", [w - d for _, _, d, w in part])
PY
