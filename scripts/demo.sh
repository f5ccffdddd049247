#!/usr/bin/env bash
# The window against the simulated printer: no hardware needed, the user's settings untouched.
#   scripts/demo.sh BUILD_DIR        (./posflash.sh --demo calls it)
# Starts posflash-printer-sim on a pseudo-terminal, prepares a throw-away settings folder that
# maps COM3 to it and selects "USB", writes a sample firmware file into the path box, and
# starts posflash with the simulated printer counted as a printer's USB virtual COM port
# (--demo-device). Press "下载" / "Download" and watch the download; close the window to end.
set -euo pipefail

build="${1:-build}"
sim="$build/tools/printer-sim/posflash-printer-sim"
app="$build/src/app/posflash"
for program in "$sim" "$app"; do
    if [ ! -x "$program" ]; then
        echo "demo: $program is not built" >&2
        exit 1
    fi
done

work="$(mktemp -d "${TMPDIR:-/tmp}/posflash-demo.XXXXXX")"
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

link="$work/printer-tty"
firmware="$work/demo-firmware.bin"

# A sample program file: 64 KiB of bytes, then the little-endian 32-bit sum of them.
head -c 65536 /dev/urandom >"$work/body"
sum=$(od -An -v -tu1 "$work/body" | awk '{ for (i = 1; i <= NF; i++) s += $i }
                                          END { printf "%d", s % 4294967296 }')
trailer=$(printf '\\0%03o\\0%03o\\0%03o\\0%03o' $((sum & 255)) $((sum >> 8 & 255)) \
    $((sum >> 16 & 255)) $((sum >> 24 & 255)))
{
    cat "$work/body"
    printf '%b' "$trailer"
} >"$firmware"
rm "$work/body"

# The printer answers after 20 ms, slow enough to watch the progress bar.
mkfifo "$work/sim.out"
"$sim" serial --link "$link" --out "$work/received.bin" --think 20 >"$work/sim.out" &
sim_pid=$!
exec 3<"$work/sim.out"
if ! read -r -t 10 first <&3 || [[ "$first" != PTY\ * ]]; then
    echo "demo: the simulated printer did not start" >&2
    exit 1
fi
# What the printer says about each download it received.
sed -u 's/^/printer-sim: /' <&3 &
exec 3<&-

export XDG_CONFIG_HOME="$work/config"
# The demo's downloads stay out of the user's download history too.
export XDG_DATA_HOME="$work/data"
mkdir -p "$XDG_CONFIG_HOME/posflash"
cat >"$XDG_CONFIG_HOME/posflash/comports.ini" <<EOF
[ports]
COM3=$link
EOF
cat >"$XDG_CONFIG_HOME/posflash/sys_config.ini" <<EOF
[MSG]
first=false
filepath=$firmware
[SERIAL]
COM=2
[PORT]
ComboPort=1
EOF

echo "demo: the simulated printer is on COM3 ($link)."
echo "demo: press 下载 / Download in the window; close the window to end the demo."
"$app" --demo-device "$link"
