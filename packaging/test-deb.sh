#!/usr/bin/env bash
# The Debian package, end to end, on this machine (as root; CI runs it after the plain tests):
# build the .deb from an existing build, lintian, its file list, install it with apt, use what
# it installed, purge it and check that nothing of it is left.
#   packaging/test-deb.sh [BUILD_DIR]     (default build)
#
# lintian infos left on purpose: binary-has-unneeded-section (.comment survives CPack's strip)
# and hardening-no-fortify-functions (_FORTIFY_SOURCE would change every compile of the
# project, tests included, for a package that is no Debian upload); the warning
# unusual-interpreter /usr/bin/python on the Ansible modules (Ansible's own convention: it puts
# the store PC's interpreter in that line) and the info on the collection's README, which
# ansible-galaxy keeps inside the collection.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "${1:-$here/../build}" && pwd)"
export DEBIAN_FRONTEND=noninteractive

fail() {
    echo "test-deb: FAILED: $*" >&2
    exit 1
}
step() { echo "== $*"; }

work="$(mktemp -d "${TMPDIR:-/tmp}/posflash-deb.XXXXXX")"
sim_pid=""
installed=""
namespaces=()
cleanup() {
    [ -z "$sim_pid" ] || kill "$sim_pid" 2> /dev/null || true
    for ns in "${namespaces[@]}"; do ip netns del "$ns" 2> /dev/null || true; done
    # A failed run does not leave the package behind on the machine.
    [ -z "$installed" ] || apt-get purge -y -qq posflash > /dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT

step "tools"
apt-get install -y -qq lintian desktop-file-utils appstream man-db bash-completion > /dev/null

step "package from $build"
cmake --build "$build" --target posflash posflash-cli posflash-printer-sim posflash-bind-helper \
    posflash-mark-helper posflash_install_files posflash_ansible_collection > /dev/null
rm -f "$build"/posflash_*.deb
(cd "$build" && cpack -G DEB --config CPackConfig.cmake > "$work/cpack.log") ||
    { cat "$work/cpack.log"; fail "cpack"; }
debs=("$build"/posflash_*.deb)
deb="${debs[0]}"
[ -f "$deb" ] || fail "no .deb in $build"
version="$(dpkg-deb -f "$deb" Version)"
echo "$deb"

step "lintian"
lintian_status=0
lintian --fail-on error --display-info "$deb" > "$work/lintian.txt" 2>&1 || lintian_status=$?
grep -v "running with root privileges" "$work/lintian.txt" || true
[ "$lintian_status" -eq 0 ] || fail "lintian reports errors"

step "contents"
dpkg-deb --contents "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort \
    > "$work/contents"
sort > "$work/expected" << EOF
/usr/bin/posflash
/usr/bin/posflash-cli
/usr/bin/posflash-printer-sim
/usr/lib/systemd/user/posflash-records-sync.service
/usr/lib/systemd/user/posflash-records-sync.timer
/usr/lib/udev/rules.d/60-posflash.rules
/usr/libexec/posflash/demo
/usr/libexec/posflash/posflash-bind-helper
/usr/libexec/posflash/posflash-mark-helper
/usr/share/applications/org.posflash.posflash-line.desktop
/usr/share/applications/org.posflash.posflash.desktop
/usr/share/bash-completion/completions/posflash
/usr/share/bash-completion/completions/posflash-cli
/usr/share/bash-completion/completions/posflash-printer-sim
/usr/share/doc/posflash/changelog.gz
/usr/share/doc/posflash/copyright
/usr/share/icons/hicolor/128x128/apps/posflash.png
/usr/share/icons/hicolor/16x16/apps/posflash.png
/usr/share/icons/hicolor/24x24/apps/posflash.png
/usr/share/icons/hicolor/256x256/apps/posflash.png
/usr/share/icons/hicolor/32x32/apps/posflash.png
/usr/share/icons/hicolor/48x48/apps/posflash.png
/usr/share/icons/hicolor/64x64/apps/posflash.png
/usr/share/man/man1/posflash-cli.1.gz
/usr/share/man/man1/posflash-printer-sim.1.gz
/usr/share/man/man1/posflash.1.gz
/usr/share/metainfo/org.posflash.posflash.metainfo.xml
/usr/share/posflash/demo-firmware.bin
EOF
collection=/usr/share/ansible/collections/ansible_collections/posflash/fleet
for file in FILES.json MANIFEST.json README.md meta/runtime.yml playbooks/rollout.yml \
    plugins/module_utils/posflash_cli.py plugins/modules/budget.py plugins/modules/printers.py \
    plugins/modules/update.py; do
    echo "$collection/$file"
done | sort -o "$work/expected" - "$work/expected"
diff -u "$work/expected" "$work/contents" || fail "the package's files differ from the list"
[ "$(dpkg-deb -f "$deb" Recommends)" = "bash-completion, fonts-wqy-microhei" ] || fail "Recommends"
[ "$(dpkg-deb -f "$deb" Suggests)" = "ansible-core" ] || fail "Suggests"

# What the package depends on goes in first, so that installing and purging posflash itself
# must leave the file system exactly as it found it.
step "dependencies, then the file list before"
dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/|.*//; s/(.*)//; s/[[:space:]]//g' |
    grep -v '^$' > "$work/depends"
xargs -a "$work/depends" apt-get install -y -qq --no-install-recommends > /dev/null
snapshot() {
    # Caches that triggers of other packages rebuild are theirs, not posflash's.
    find /usr /etc /opt -xdev \( -name mimeinfo.cache -o -name icon-theme.cache \) -prune -o \
        -print 2> /dev/null | sort
}
snapshot > "$work/before"

step "apt-get install ./$(basename "$deb")"
apt-get install -y -qq "$deb" 2>&1 | tee "$work/install.log" | grep -i posflash || true
installed=yes
dpkg-query -W -f '${Status}\n' posflash | grep -q "install ok installed" || fail "not installed"

step "versions"
[ "$(posflash-cli --version)" = "posflash-cli $version" ] || fail "posflash-cli --version"
[ "$(posflash --version)" = "posflash $version" ] || fail "posflash --version"

step "check and a full download on a pseudo-terminal"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/config" XDG_DATA_HOME="$work/home/data"
mkdir -p "$HOME"
python3 - "$work/fw.bin" << 'PY'
import random, struct, sys
random.seed(7)
body = bytes(random.getrandbits(8) for _ in range(64 * 1024 - 4))
open(sys.argv[1], "wb").write(body + struct.pack("<I", sum(body) & 0xFFFFFFFF))
PY
posflash-cli check --lang en "$work/fw.bin" > "$work/check.txt" || fail "check refused the file"
grep -q "would be sent" "$work/check.txt" || fail "check: $(cat "$work/check.txt")"
exec 3< <(exec posflash-printer-sim serial --link "$work/tty" --out "$work/received.bin")
sim_pid=$!
read -r pty_line <&3 # "PTY <path>": the printer is ready
[[ $pty_line == PTY* ]] || fail "the simulated printer did not start"
timeout 60 posflash-cli download --lang en --port "$work/tty" "$work/fw.bin" > "$work/download.txt" ||
    { cat "$work/download.txt"; fail "download"; }
kill -TERM "$sim_pid"
wait "$sim_pid" || fail "the simulated printer saw errors"
sim_pid=""
cmp -s "$work/fw.bin" "$work/received.bin" || fail "the printer received another image"

step "the window starts from the package"
QT_QPA_PLATFORM=offscreen timeout 60 posflash --screenshot "$work/window.png" ||
    fail "posflash --screenshot"
[ -s "$work/window.png" ] || fail "no screenshot"

step "the demo: the window downloads the sample image to the simulated printer"
# In a session of its own, so that anything it leaves running can be found, and with a
# temporary folder of its own, so that anything it leaves there can be too.
# (Qt's runtime folder would otherwise go there.)
mkdir "$work/demo-tmp" && mkdir -m 700 "$work/runtime"
QT_QPA_PLATFORM=offscreen TMPDIR="$work/demo-tmp" XDG_RUNTIME_DIR="$work/runtime" \
    setsid --wait timeout 60 posflash --demo --press-download > "$work/demo.txt" 2>&1 &
demo_session=$!
demo_status=0
wait "$demo_session" || demo_status=$?
left="$(pgrep -s "$demo_session" -a || true)"
[ "$demo_status" -eq 0 ] || { cat "$work/demo.txt"; fail "posflash --demo ($demo_status)"; }
grep -Eq "^printer-sim: SESSION 1 program 65540 bytes, CRC ok, .*, 0 errors$" "$work/demo.txt" ||
    { cat "$work/demo.txt"; fail "the simulated printer reports no complete download"; }
grep -qx "demo: the printer received the sample image complete, byte for byte" \
    "$work/demo.txt" || { cat "$work/demo.txt"; fail "the printer received another image"; }
[ -z "$left" ] || fail "the demo left processes behind: $left"
[ -z "$(ls -A "$work/demo-tmp")" ] || fail "the demo left files behind: $(ls -A "$work/demo-tmp")"

step "the Ansible collection, where ansible-doc finds it"
command -v ansible-doc > /dev/null || fail "ansible-doc is missing (scripts/debian-packages-no-recommends.txt has ansible-core)"
for module in update printers budget; do
    ansible-doc posflash.fleet.$module > "$work/ansible-doc.txt" 2>&1 ||
        { cat "$work/ansible-doc.txt"; fail "ansible-doc posflash.fleet.$module"; }
done
grep -q "$collection/plugins/modules/budget.py" "$work/ansible-doc.txt" ||
    fail "ansible-doc read the collection from elsewhere: $(head -3 "$work/ansible-doc.txt")"
ansible-doc --list posflash.fleet 2> /dev/null | grep -q "^posflash.fleet.update " ||
    fail "ansible-doc --list posflash.fleet"

step "capabilities: the bind helper alone holds one, and it links no Qt"
helper=/usr/libexec/posflash/posflash-bind-helper
getcap "$helper" | grep -q "cap_net_bind_service=ep" || fail "getcap $helper: $(getcap "$helper")"
getcap -r / 2> /dev/null | awk '{ print $1 }' | sort > "$work/with-capabilities"
dpkg -L posflash | sort | comm -12 - "$work/with-capabilities" > "$work/ours-with-capabilities"
[ "$(cat "$work/ours-with-capabilities")" = "$helper" ] ||
    fail "files of the package with a capability: $(cat "$work/ours-with-capabilities")"
while read -r file; do
    ! ldd "$file" | grep -qi "libQt" || fail "$file holds a capability and links Qt"
done < "$work/ours-with-capabilities"

step "a Qt plugin named by QT_PLUGIN_PATH loads in posflash-cli run as nobody, and cannot bind"
"$here/plugin-probe.sh" /usr/bin/posflash-cli > "$work/probe.txt" 2>&1 ||
    { cat "$work/probe.txt"; fail "the plugin bound a port below 1024"; }
cat "$work/probe.txt"
grep -q "^plugin loaded in uid $(id -u nobody), CapEff=0000000000000000; udp 67: refused" \
    "$work/probe.txt" || fail "the probe plugin did not load, or its bind was not refused"

step "a network download by an ordinary user, through the installed bind helper"
# Two namespaces of this test's own joined by a veth pair: no packet leaves them.
tool_ns="pfdeb-tool-$$" printer_ns="pfdeb-printer-$$"
for ns in "$tool_ns" "$printer_ns"; do ip netns add "$ns" && namespaces+=("$ns") || fail "ip netns add"; done
ip link add pfdeb0 netns "$tool_ns" type veth peer name pfdeb1 netns "$printer_ns"
ip -n "$tool_ns" addr add 10.79.0.1/24 dev pfdeb0
ip -n "$printer_ns" addr add 10.79.0.2/24 dev pfdeb1
for ns in "$tool_ns" "$printer_ns"; do ip -n "$ns" link set lo up; done
ip -n "$tool_ns" link set pfdeb0 up
ip -n "$printer_ns" link set pfdeb1 up
ip -n "$printer_ns" route add default dev pfdeb1 # it broadcasts before it knows the tool
shared="$work/shared"
mkdir -p "$shared/data" && cp "$work/fw.bin" "$shared/" && chown -R nobody:nogroup "$shared"
chmod 755 "$work"
exec 4< <(exec ip netns exec "$printer_ns" posflash-printer-sim net --ip 10.79.0.2 \
    --mac 00-11-22-33-44-66 --out "$work/net-received.bin")
sim_pid=$!
read -r ready_line <&4
[[ $ready_line == READY* ]] || fail "the simulated network printer did not start"
# setpriv drops to nobody with no inherited capabilities: only the helper's own right binds.
timeout 60 ip netns exec "$tool_ns" setpriv --reuid=nobody --regid=nogroup --clear-groups \
    --inh-caps=-all env HOME="$shared" XDG_DATA_HOME="$shared/data" \
    posflash-cli download --lang en --net --ip 10.79.0.2 --mac 00-11-22-33-44-66 \
    "$shared/fw.bin" > "$work/net-download.txt" 2>&1 ||
    { cat "$work/net-download.txt"; fail "network download as nobody"; }
kill -TERM "$sim_pid"
wait "$sim_pid" || fail "the simulated network printer saw errors"
sim_pid=""
cmp -s "$work/fw.bin" "$work/net-received.bin" || fail "the network printer received another image"

step "the recipe marks: a helper setuid to posflash raises a mark for nobody, never lowers it"
marks=/usr/libexec/posflash/posflash-mark-helper
[ "$(stat -c '%U:%G %a' "$marks")" = "posflash:posflash 4755" ] ||
    fail "$marks: $(stat -c '%U:%G %a' "$marks")"
[ "$(stat -c '%U:%G %a' /var/lib/posflash/recipe-marks)" = "posflash:posflash 755" ] ||
    fail "the marks folder: $(stat -c '%U:%G %a' /var/lib/posflash/recipe-marks)"
as_nobody() { setpriv --reuid=nobody --regid=nogroup --clear-groups "$@"; }
[ "$(as_nobody "$marks" raise 5831 4)" = "kept 4" ] || fail "raise as nobody"
[ "$(as_nobody "$marks" raise 5831 2)" = "kept 4" ] || fail "a lower raise"
! as_nobody sh -c 'echo 0 > /var/lib/posflash/recipe-marks/5831' 2> /dev/null ||
    fail "nobody wrote the marks folder"

step "udev rule"
rule=/usr/lib/udev/rules.d/60-posflash.rules
[ -f "$rule" ] || fail "$rule missing"
if command -v udevadm > /dev/null && udevadm verify --help > /dev/null 2>&1; then
    udevadm verify "$rule" || fail "udevadm verify"
else
    # Every rule line is a list of KEY[{attr}] OP "value" pairs, and every GOTO has its LABEL.
    python3 - "$rule" << 'PY' || fail "udev rule syntax"
import re, sys
pair = r'[A-Z_]+(\{[^}]+\})?\s*(==|!=|\+=|-=|:=|=)\s*"[^"]*"'
line_re = re.compile(r'^\s*' + pair + r'(\s*,\s*' + pair + r')*\s*,?\s*$')
gotos, labels = set(), set()
for n, line in enumerate(open(sys.argv[1]), 1):
    line = line.strip()
    if not line or line.startswith('#'):
        continue
    if not line_re.match(line):
        sys.exit(f"line {n}: {line}")
    gotos.update(re.findall(r'GOTO="([^"]*)"', line))
    labels.update(re.findall(r'LABEL="([^"]*)"', line))
if gotos - labels:
    sys.exit(f"GOTO without LABEL: {gotos - labels}")
PY
fi

step "desktop entry, metainfo, manual pages, completion"
desktop-file-validate /usr/share/applications/org.posflash.posflash.desktop
desktop-file-validate /usr/share/applications/org.posflash.posflash-line.desktop
appstreamcli validate --no-net /usr/share/metainfo/org.posflash.posflash.metainfo.xml
for page in posflash posflash-cli posflash-printer-sim; do
    [ "$(man -w "$page")" = "/usr/share/man/man1/$page.1.gz" ] || fail "man -w $page"
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "/usr/share/man/man1/$page.1.gz" \
        2> "$work/man.err" > /dev/null
    [ ! -s "$work/man.err" ] || { cat "$work/man.err"; fail "man warns about $page"; }
done
if [ -f /usr/share/bash-completion/bash_completion ]; then
    mkdir -p "$XDG_CONFIG_HOME/posflash"
    printf '[ports]\nCOM1=/dev/ttyS0\nCOM12=/dev/ttyACM0\n' > "$XDG_CONFIG_HOME/posflash/comports.ini"
    # Each completion loaded as bash-completion finds it on the first tab.
    bash -c '
        source /usr/share/bash-completion/bash_completion
        for program in posflash posflash-cli posflash-printer-sim; do
            __load_completion "$program" || exit 9
        done
        complete_line() {
            local handler
            handler=$(complete -p "$1" | sed -n "s/.* -F \([^ ]*\) .*/\1/p")
            COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"
            COMP_POINT=${#COMP_LINE}; COMPREPLY=(); "$handler"; echo "${COMPREPLY[*]}"; }
        [ "$(complete_line posflash-cli d)" = download ] || exit 1
        [ "$(complete_line posflash-cli download --port com1)" = "COM1 COM12" ] || exit 2
        [ "$(complete_line posflash-cli check --j)" = --json ] || exit 3
        [ "$(complete_line posflash-printer-sim s)" = serial ] || exit 4
        [ "$(complete_line posflash-printer-sim net --gr)" = --greet ] || exit 5
        [ "$(complete_line posflash-printer-sim app --font-mode-hangup "")" = "close reset" ] ||
            exit 6
        [ "$(complete_line posflash-printer-sim serial --li)" = --link ] || exit 7
        [ "$(complete_line posflash-cli records s)" = "sync status" ] || exit 8
        [ "$(complete_line posflash --require)" = --require-label ] || exit 10
    ' || fail "bash completion ($?)"
fi

step "apt-get purge posflash"
apt-get purge -y -qq posflash > /dev/null
installed=""
snapshot > "$work/after"
diff -u "$work/before" "$work/after" || fail "purge left the file system changed"
! ls /var/lib/dpkg/info/posflash.* > /dev/null 2>&1 || fail "dpkg still knows posflash's files"
! getent passwd posflash > /dev/null || fail "the user posflash is left"
[ ! -e /var/lib/posflash ] || fail "/var/lib/posflash is left"
! dpkg-statoverride --list /usr/libexec/posflash/posflash-mark-helper > /dev/null ||
    fail "the mark helper's override is left"
echo "test-deb: package $version built, installed, used and purged"
