#!/usr/bin/env bash
# Pictures of the window's two faces for the README, made by posflash itself (--screenshot)
# on the offscreen platform, over a throw-away settings folder.
#   docs/make-screenshots.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${1:-$here/../build}"
app="$build/src/launcher/posflash"

work="$(mktemp -d "${TMPDIR:-/tmp}/posflash-shots.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/posflash"
cat >"$work/posflash/sys_config.ini" <<'INI'
[MSG]
first=false
filepath=/home/tech/firmware/printer-app-v2.bin
[SERIAL]
COM=2
[PORT]
ComboPort=1
INI

export XDG_CONFIG_HOME="$work" QT_QPA_PLATFORM=offscreen
# The face follows the system locale: Chinese on a Chinese system, English elsewhere.
LC_ALL=zh_CN.UTF-8 "$app" --screenshot "$here/window-zh.png"
LC_ALL=en_US.UTF-8 "$app" --screenshot "$here/window-en.png"

# The production window with four, six and sixteen slots in every state, with and without a
# recipe, at 1280x720 and 1920x1080, in English and in Chinese, from the test that checks no text
# clips and the window stays within its screen.
rm -rf "$here/line" && mkdir -p "$here/line"
POSFLASH_LINE_SCREENSHOTS="$here/line" "$build/tests/line_window_test" \
    --gtest_filter='*NoTextClips*:*LeavingWhileUpdating*' > /dev/null
