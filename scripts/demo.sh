#!/bin/bash
# The window against the simulated printer: no hardware needed, the user's settings untouched.
#   demo.sh --sim PROGRAM --app PROGRAM --firmware FILE [-- WINDOW-OPTION...]
# ./posflash.sh --demo runs it with the build tree's programs; the package installs it as
# /usr/libexec/posflash/demo, which `posflash --demo` runs with the installed ones.
# Starts posflash-printer-sim on a pseudo-terminal, prepares a throw-away settings folder that
# maps COM3 to it, selects "USB" and puts the sample firmware FILE in the path box, and starts
# the window with the simulated printer counted as a printer's USB virtual COM port
# (--demo-device). Press "下载" / "Download" and watch the download; close the window to end.
# The printer's lines come prefixed with "printer-sim: "; at the end the demo says whether the
# printer's last image is the sample, byte for byte. The exit status is the window's.
set -euo pipefail

usage() {
    echo "usage: demo.sh --sim PROGRAM --app PROGRAM --firmware FILE [-- WINDOW-OPTION...]" >&2
    exit 2
}
sim="" app="" firmware=""
while [ $# -gt 0 ]; do
    case "$1" in
    --sim | --app | --firmware)
        [ $# -ge 2 ] || usage
        printf -v "${1#--}" '%s' "$2"
        shift 2
        ;;
    --)
        shift
        break
        ;;
    *) usage ;;
    esac
done
[ -n "$sim" ] && [ -n "$app" ] && [ -n "$firmware" ] || usage
for program in "$sim" "$app"; do
    if [ ! -x "$program" ]; then
        echo "demo: $program is missing" >&2
        exit 1
    fi
done
if [ ! -r "$firmware" ]; then
    echo "demo: the sample firmware $firmware is missing" >&2
    exit 1
fi

work="$(mktemp -d "${TMPDIR:-/tmp}/posflash-demo.XXXXXX")"
sim_pid="" lines_pid="" app_pid=""
stop() {
    [ -z "$1" ] || kill "$1" 2>/dev/null || true
}
cleanup() {
    stop "$app_pid"
    stop "$sim_pid"
    # The printer's last lines are passed on before the demo ends.
    for pid in $app_pid $sim_pid $lines_pid; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

link="$work/printer-tty"

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
lines_pid=$!
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
# In the background, so that a signal to the demo ends the window too.
"$app" --demo-device "$link" "$@" &
app_pid=$!
status=0
wait "$app_pid" || status=$?
app_pid=""

stop "$sim_pid"
wait "$sim_pid" || echo "demo: the simulated printer saw errors" >&2
sim_pid=""
wait "$lines_pid" || true
lines_pid=""
if [ ! -f "$work/received.bin" ]; then
    echo "demo: the printer received no complete image"
elif cmp -s "$firmware" "$work/received.bin"; then
    echo "demo: the printer received the sample image complete, byte for byte"
else
    echo "demo: the printer's last image is not the sample image"
fi
exit "$status"
