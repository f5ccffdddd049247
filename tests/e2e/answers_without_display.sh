#!/bin/sh
# posflash --help and posflash-printer-sim --version answer with no display at all: a user
# asking how to start the window may be on a console or over ssh; so is the page of slot codes,
# and so does a mistyped option. Without XDG_RUNTIME_DIR (root through su, cron) posflash-cli
# report says nothing of it.
# Arguments: the posflash program, the posflash-printer-sim program, the project version,
# the posflash-cli program.
set -u
window=$1 sim=$2 version=$3 cli=$4
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

help=$("$window" --help 2>&1)
status=$?
if [ "$status" -ne 0 ]; then
    printf 'posflash --help exited %s:\n%s\n' "$status" "$help"
    exit 1
fi
for option in --demo-device --screenshot --help --version --line --image --port --usb-path \
    --serial-prefix --ip --mac --operator --retries --require-label --start; do
    case $help in
    *"$option"*) ;;
    *) printf 'posflash --help does not name %s:\n%s\n' "$option" "$help"; exit 1 ;;
    esac
done

# The page of slot codes is made without a display too: one barcode per slot named.
XDG_CONFIG_HOME=$(mktemp -d) && export XDG_CONFIG_HOME
page=$("$window" --line --print-slot-codes --port COM3 --port COM4 --ip 10.0.0.5 2>&1)
status=$?
rm -rf "$XDG_CONFIG_HOME"
if [ "$status" -ne 0 ] || [ "$(printf '%s' "$page" | grep -o '<svg' | wc -l)" -ne 3 ] ||
    ! printf '%s' "$page" | grep -q '>SLOT-3<'; then
    printf 'posflash --line --print-slot-codes exited %s:\n%s\n' "$status" "$page"
    exit 1
fi

said=$("$sim" --version 2>&1)
status=$?
if [ "$status" -ne 0 ] || [ "$said" != "posflash-printer-sim $version" ]; then
    printf 'posflash-printer-sim --version exited %s:\n%s\n' "$status" "$said"
    exit 1
fi
said=$("$window" --bogus 2>&1)
status=$?
case $status:$said in
2:*"'bogus'"*) ;;
*) printf 'posflash --bogus exited %s:\n%s\n' "$status" "$said"; exit 1 ;;
esac

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
said=$(env -u XDG_RUNTIME_DIR HOME="$home" XDG_DATA_HOME="$home" TMPDIR="$home" \
    "$cli" report --out "$home/report.html" 2>&1)
case $said in
*XDG_RUNTIME_DIR*) printf 'posflash-cli report without XDG_RUNTIME_DIR:\n%s\n' "$said"; exit 1 ;;
esac
echo "all answered"
