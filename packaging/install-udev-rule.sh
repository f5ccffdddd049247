#!/bin/sh
# Puts posflash's udev rule in place and has udev apply it to printers already plugged in.
# Usage: packaging/install-udev-rule.sh
#   as root, or through sudo when run as another user. DESTDIR=/some/root installs below that
#   root (for packages and tests) and leaves the running udev alone.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
rule="$here/60-posflash.rules"
destdir="${DESTDIR:-}"
target="$destdir/etc/udev/rules.d/60-posflash.rules"

sudo=""
if [ -z "$destdir" ] && [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

$sudo install -D -m 0644 "$rule" "$target"
echo "Installed $target"

[ -z "$destdir" ] || exit 0
# Without a running udev (a container, a chroot) the rule simply waits for the next start.
if command -v udevadm > /dev/null 2>&1 && $sudo udevadm control --reload-rules 2> /dev/null; then
    $sudo udevadm trigger --action=change --subsystem-match=usb --subsystem-match=tty \
        --subsystem-match=usbmisc 2> /dev/null || true
    echo "udev reloaded its rules; printers already plugged in were updated."
else
    echo "udev is not running here; the rule takes effect when udev next starts."
fi
