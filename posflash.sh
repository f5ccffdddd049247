#!/usr/bin/env bash
# posflash on a Debian 12 machine:
#   ./posflash.sh           install what is missing, build, start the window
#   ./posflash.sh --demo    the same, against the simulated printer
#   ./posflash.sh test      install what is missing, build, run every test
#   ./posflash.sh deb       install what is missing, build the programs, make the Debian
#                           package build/posflash_<version>_<arch>.deb
# POSFLASH_SANITIZE=1 builds into build-asan with AddressSanitizer and UBSan.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
cd "$here"

# The packages of LIST not installed yet.
missing_of() {
    while read -r pkg; do
        [ -n "$pkg" ] || continue
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || echo "$pkg"
    done < "$1"
}

install_missing() {
    local missing=() bare=()
    mapfile -t missing < <(missing_of scripts/debian-packages.txt)
    # ansible-core alone: what it recommends (every community collection) is never used here.
    mapfile -t bare < <(missing_of scripts/debian-packages-no-recommends.txt)
    [ $((${#missing[@]} + ${#bare[@]})) -eq 0 ] && return 0
    echo "Installing: ${bare[*]} ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    [ ${#bare[@]} -eq 0 ] ||
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${bare[@]}"
    [ ${#missing[@]} -eq 0 ] ||
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

build() {
    local dir="build" extra=()
    if [ "${POSFLASH_SANITIZE:-0}" = "1" ]; then
        dir="build-asan"
        # Light optimisation and line tables only: the sanitizers find the same faults, the
        # build takes far less time, and the plain build already holds the warnings to -Werror.
        extra=(-DPOSFLASH_SANITIZE=ON -DPOSFLASH_WERROR=OFF "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1")
    fi
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPOSFLASH_WERROR=ON \
        "${extra[@]}" >/dev/null
    cmake --build "$dir" -j "$(nproc)" "$@"
    BUILD_DIR="$dir"
}

# What the window needs of the system besides packages: the udev rule that gives the user the
# printer's USB nodes, and the right to bind UDP ports 67 and 69 for a network download.
# Each is skipped once in place; a failure is reported and the program still starts.
install_system_parts() {
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    if [ ! -f /etc/udev/rules.d/60-posflash.rules ] && [ ! -f /lib/udev/rules.d/60-posflash.rules ] &&
        [ ! -f /usr/lib/udev/rules.d/60-posflash.rules ]; then
        packaging/install-udev-rule.sh || echo "posflash: the udev rule could not be installed" >&2
    fi
    # The right goes to the built bind helper alone: posflash and posflash-cli load Qt's
    # plugins, and a program that does must hold no capability (docs/security.md).
    local helper="$BUILD_DIR/src/bind-helper/posflash-bind-helper"
    if ! getcap "$helper" 2>/dev/null | grep -q cap_net_bind_service; then
        $sudo setcap cap_net_bind_service+ep "$helper" ||
            echo "posflash: could not grant $helper the right to bind ports 67 and 69" >&2
    fi
    # The recipe marks' folder and its keeper, setuid to the system user posflash (not root):
    # one sudo for all of it, and only while something is missing.
    local marks="$BUILD_DIR/src/mark-helper/posflash-mark-helper"
    if [ -f "$marks" ] && { [ "$(stat -c '%U %a' "$marks")" != "posflash 4755" ] ||
        [ "$(stat -c '%U' /var/lib/posflash/recipe-marks 2>/dev/null)" != posflash ]; }; then
        # shellcheck disable=SC2016 # $1 is the inner shell's: the program's path
        $sudo sh -c '
            mkdir -p /var/lib/posflash/recipe-marks
            getent passwd posflash > /dev/null ||
                adduser --system --group --no-create-home --home /var/lib/posflash posflash
            chown posflash:posflash /var/lib/posflash/recipe-marks &&
                chmod 0755 /var/lib/posflash /var/lib/posflash/recipe-marks &&
                chown posflash:posflash "$1" && chmod 4755 "$1"' sh "$marks" > /dev/null ||
            echo "posflash: could not set up the recipe marks (/var/lib/posflash/recipe-marks, $marks)" >&2
    fi
    # Earlier versions of this script gave the right to the Qt programs themselves.
    local program
    for program in "$BUILD_DIR/src/launcher/posflash" "$BUILD_DIR/src/cli/posflash-cli"; do
        if getcap "$program" 2>/dev/null | grep -q cap_net_bind_service; then
            $sudo setcap -r "$program" || echo "posflash: could not take the right from $program" >&2
        fi
    done
}

# Qt's own message without a desktop is cryptic; say it plainly.
need_display() {
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
        echo "posflash is a desktop program: start it from a graphical session." >&2
        exit 1
    fi
}

mode="${1:-run}"
install_missing
if [ "$mode" = deb ]; then
    # The package holds the programs alone: the tests need not be built for it.
    build --target posflash posflash-cli posflash-printer-sim posflash-bind-helper \
        posflash-mark-helper posflash_install_files posflash_ansible_collection
else
    build
fi
case "$mode" in
deb)
    rm -f "$BUILD_DIR"/posflash_*.deb
    (cd "$BUILD_DIR" && cpack -G DEB --config CPackConfig.cmake >/dev/null)
    package=("$BUILD_DIR"/posflash_*.deb)
    echo "Built ${package[0]}; install it with: sudo apt install ./${package[0]}"
    ;;
test)
    export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    export ASAN_OPTIONS="verify_asan_link_order=0:detect_leaks=1"
    export LSAN_OPTIONS="suppressions=$here/tests/lsan.supp:print_suppressions=0"
    # The soak (160 downloads, about 2.5 minutes) and the Ansible collection's tests (Python,
    # and programs the plain build already ran) run once, in the plain build.
    skip=()
    [ "${POSFLASH_SANITIZE:-0}" = "1" ] && skip=(-LE "soak|ansible")
    ctest --test-dir "$BUILD_DIR" --output-on-failure -j "$(nproc)" --timeout 900 "${skip[@]}"
    ;;
--demo | demo)
    need_display
    install_system_parts
    exec scripts/demo.sh --sim "$BUILD_DIR/tools/printer-sim/posflash-printer-sim" \
        --app "$BUILD_DIR/src/launcher/posflash" --firmware "$BUILD_DIR/packaging/demo-firmware.bin"
    ;;
run)
    need_display
    install_system_parts
    exec "$BUILD_DIR/src/launcher/posflash"
    ;;
*)
    echo "usage: $0 [--demo | test | deb]" >&2
    exit 2
    ;;
esac
