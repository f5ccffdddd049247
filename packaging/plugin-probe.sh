#!/usr/bin/env bash
# Can a Qt plugin named by QT_PLUGIN_PATH bind a port below 1024 inside posflash-cli run as
# nobody? Builds a tiny SQL driver plugin (the key QSQLITE, which posflash-cli's history
# asks for) whose constructor tries UDP 67 and TCP 80 and writes what it got, runs the given
# posflash-cli as nobody with QT_PLUGIN_PATH pointing at it, and prints the plugin's report.
#   packaging/plugin-probe.sh POSFLASH_CLI      (as root: it drops to nobody itself)
# Prints "plugin not loaded" when Qt never ran the plugin; exits 1 when the plugin bound a port.
set -euo pipefail
cli="$1"
work="$(mktemp -d "${TMPDIR:-/tmp}/posflash-probe.XXXXXX")"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/plugins/sqldrivers" "$work/home"
cat > "$work/probe.json" << 'JSON'
{ "Keys": [ "QSQLITE" ] }
JSON
cat > "$work/probe.cpp" << 'CPP'
#include <QtSql/QSqlDriverPlugin>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

static std::string tryBind(int type, int port) {
    const int fd = socket(AF_INET, type, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    const bool ok = bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    const std::string what = ok ? "BOUND" : std::string("refused (") + strerror(errno) + ")";
    close(fd);
    return what;
}

__attribute__((constructor)) static void probe() {
    std::string capEff = "?";
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("CapEff:", 0) == 0)
            capEff = line.substr(7 + line.substr(7).find_first_not_of(" \t"));
    std::ofstream out(PROBE_REPORT);
    out << "plugin loaded in uid " << getuid() << ", CapEff=" << capEff << "; udp 67: "
        << tryBind(SOCK_DGRAM, 67) << "; tcp 80: " << tryBind(SOCK_STREAM, 80) << "\n";
}

class ProbeDriverPlugin : public QSqlDriverPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QSqlDriverFactoryInterface" FILE "probe.json")
public:
    QSqlDriver* create(const QString&) override { return nullptr; }
};
#include "probe.moc"
CPP
moc=/usr/lib/qt6/libexec/moc
[ -x "$moc" ] || moc="$(command -v moc-qt6 || command -v moc)"
(cd "$work" && "$moc" probe.cpp -o probe.moc)
g++ -std=c++17 -shared -fPIC -DPROBE_REPORT="\"$work/report.txt\"" -I"$work" \
    $(pkg-config --cflags Qt6Sql) "$work/probe.cpp" -o "$work/plugins/sqldrivers/libprobe.so" \
    $(pkg-config --libs Qt6Sql)
# A history to read: with none, history lists nothing without opening any database.
mkdir -p "$work/home/data/posflash" && : > "$work/home/data/posflash/history.db"
chmod -R a+rX "$work" && chown -R nobody "$work/home" && chown nobody "$work"
# As nobody, with no inherited capability: whatever right the program has is its file's own.
setpriv --reuid=nobody --regid=nogroup --clear-groups --inh-caps=-all \
    env -i PATH=/usr/bin:/bin HOME="$work/home" XDG_DATA_HOME="$work/home/data" \
    XDG_CONFIG_HOME="$work/home/config" QT_PLUGIN_PATH="$work/plugins" \
    "$cli" history > "$work/cli.txt" 2>&1 || true
sed 's/^/posflash-cli: /' "$work/cli.txt" | head -3
if [ -f "$work/report.txt" ]; then cat "$work/report.txt"; else echo "plugin not loaded"; fi
! grep -q BOUND "$work/report.txt" 2> /dev/null
