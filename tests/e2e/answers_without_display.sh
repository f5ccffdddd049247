#!/bin/sh
# posflash --help and posflash-printer-sim --version answer with no display at all: a user
# asking how to start the window may be on a console or over ssh; so is the page of slot codes.
# Arguments: the posflash program, the posflash-printer-sim program, the project version.
set -u
window=$1 sim=$2 version=$3
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
echo "both answered"
