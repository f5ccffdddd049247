#!/usr/bin/env bash
# The printer presence check (printerComPresent(false)) from the kept list and from a fresh scan,
# median and p99 over 1000 calls, in a umockdev test bed with a handful of USB devices.
# Usage: bench/usb_presence_bench.sh [BUILD_DIR]   (a Release tree in build-bench-usb by default)
set -euo pipefail
build="${1:-build-bench-usb}"
if [ ! -x "$build/bench/usb_presence_bench" ]; then
    cmake -S "$(dirname "$0")/.." -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
    cmake --build "$build" --target usb_presence_bench > /dev/null
fi
"$build/bench/usb_presence_bench" 1000
