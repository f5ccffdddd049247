#include "app/host_readiness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <grp.h>
#include <unistd.h>

#include <vector>

namespace posflash {
namespace {

constexpr int kBootpServerPort = 67;
constexpr int kCapNetBindService = 10; // bit number in the capability sets

QByteArray readSmallFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(64 * 1024) : QByteArray();
}

bool inGroup(const char* name) {
    const group* entry = getgrnam(name);
    if (entry == nullptr)
        return false;
    if (getegid() == entry->gr_gid)
        return true;
    const int count = getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = getgroups(count, groups.data());
    for (int i = 0; i < got; ++i)
        if (groups[static_cast<std::size_t>(i)] == entry->gr_gid)
            return true;
    return false;
}

bool canUseSerialDevices() {
    if (geteuid() == 0 || inGroup("dialout"))
        return true;
    // A machine may hand its serial devices to users another way (an ACL, another group).
    const QDir dev(QStringLiteral("/dev"));
    const QStringList nodes =
        dev.entryList({"ttyACM*", "ttyUSB*", "ttyS*"}, QDir::System | QDir::NoDotAndDotDot);
    for (const QString& node : nodes) {
        const QByteArray path = dev.filePath(node).toLocal8Bit();
        if (access(path.constData(), R_OK | W_OK) == 0)
            return true;
    }
    return false;
}

} // namespace

bool UdevRuleInstalled(const QStringList& ruleFolders) {
    for (const QString& folder : ruleFolders)
        if (QFileInfo::exists(QDir(folder).filePath(QString::fromLatin1(kUdevRuleName))))
            return true;
    return false;
}

bool MayBindBootPorts(unsigned effectiveUid, const QByteArray& procStatus,
                      int unprivilegedPortStart) {
    if (effectiveUid == 0)
        return true;
    if (unprivilegedPortStart >= 0 && unprivilegedPortStart <= kBootpServerPort)
        return true;
    // cap_net_bind_service on the binary shows up in the effective set of the process.
    for (const QByteArray& line : procStatus.split('\n')) {
        if (!line.startsWith("CapEff:"))
            continue;
        bool ok = false;
        const qulonglong caps = line.mid(7).trimmed().toULongLong(&ok, 16);
        return ok && (caps >> kCapNetBindService & 1U) != 0;
    }
    return false;
}

std::vector<HostShortcoming> CheckHostReadiness() {
    std::vector<HostShortcoming> missing;
    if (!canUseSerialDevices())
        missing.push_back(HostShortcoming::SerialAccess);
    if (!UdevRuleInstalled({"/etc/udev/rules.d", "/lib/udev/rules.d", "/usr/lib/udev/rules.d"}))
        missing.push_back(HostShortcoming::UdevRule);
    bool portStartOk = false;
    int portStart = readSmallFile(QStringLiteral("/proc/sys/net/ipv4/ip_unprivileged_port_start"))
                        .trimmed()
                        .toInt(&portStartOk);
    if (!portStartOk)
        portStart = -1;
    if (!MayBindBootPorts(geteuid(), readSmallFile(QStringLiteral("/proc/self/status")), portStart))
        missing.push_back(HostShortcoming::BootPorts);
    return missing;
}

} // namespace posflash
