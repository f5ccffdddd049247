#include "app/host_readiness.h"

#include "base/faces.h"
#include "link/bind_helper_client.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <grp.h>
#include <unistd.h>

#include <algorithm>
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

// The texts share the window's translation context: they are shown in its status line.
constexpr const char* kContext = "frmBoot";

constexpr const char* kLogindSessions = "/run/systemd/sessions/";
constexpr const char* kLogindUsers = "/run/systemd/users/";

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

// The value of KEY= in a logind record, or a null array when the key is missing.
QByteArray recordValue(const QByteArray& record, const QByteArray& key) {
    const QByteArray prefix = key + '=';
    for (const QByteArray& line : record.split('\n'))
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed();
    return {};
}

// logind's record of the session this process belongs to; empty when there is none.
QByteArray ownSessionState() {
    QByteArray id = qgetenv("XDG_SESSION_ID");
    if (id.isEmpty()) {
        // Started outside the login's environment (a user service): the user's display session.
        const QByteArray user =
            readSmallFile(QString::fromLatin1(kLogindUsers) + QString::number(getuid()));
        id = recordValue(user, "DISPLAY");
    }
    if (id.isEmpty() || id.contains('/') || id.startsWith('.'))
        return {};
    return readSmallFile(QString::fromLatin1(kLogindSessions) + QString::fromLatin1(id));
}

QStringList processNames() {
    QStringList names;
    const QDir proc(QStringLiteral("/proc"));
    for (const QString& entry : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (!entry.front().isDigit())
            continue;
        const QByteArray comm = readSmallFile(proc.filePath(entry) + QStringLiteral("/comm"));
        if (!comm.isEmpty())
            names << QString::fromLocal8Bit(comm.trimmed());
    }
    return names;
}

// A system unit has a control group of its own while it has processes; template instances sit
// one slice further down.
QStringList runningSystemUnits() {
    QStringList units;
    const QDir slice(QStringLiteral("/sys/fs/cgroup/system.slice"));
    for (const QString& entry : slice.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (entry.endsWith(QLatin1String(".slice")))
            units << QDir(slice.filePath(entry)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        else
            units << entry;
    }
    return units;
}

} // namespace

QString HostShortcomingText(HostShortcoming missing, const Faces& faces) {
    const QString rule = QString::fromLatin1(kUdevRuleName);
    switch (missing) {
    case HostShortcoming::SerialAccess:
        return faces.text(kContext, QT_TRANSLATE_NOOP("frmBoot", "no access to serial devices "
                                                                 "(join the dialout group)"));
    case HostShortcoming::UdevRule:
        return faces.text(kContext, QT_TRANSLATE_NOOP("frmBoot", "udev rule %1 not installed"))
            .arg(rule);
    case HostShortcoming::BootPorts:
        return faces.text(kContext,
                          QT_TRANSLATE_NOOP("frmBoot", "no right to bind UDP ports 67 and 69 "
                                                       "for network downloads"));
    case HostShortcoming::NoSeat:
        return faces.text(kContext,
                          QT_TRANSLATE_NOOP("frmBoot", "this session has no seat (a remote "
                                                       "login), so udev gives it no access to "
                                                       "printers (join the dialout and lp "
                                                       "groups)"));
    case HostShortcoming::ModemManager:
        return faces
            .text(kContext,
                  QT_TRANSLATE_NOOP("frmBoot", "ModemManager is running and may probe the "
                                               "printer's port (udev rule %1 keeps it off the "
                                               "printers; for other serial adapters stop or "
                                               "mask ModemManager)"))
            .arg(rule);
    case HostShortcoming::Brltty:
        return faces.text(kContext,
                          QT_TRANSLATE_NOOP("frmBoot", "brltty claims USB-serial adapters "
                                                       "(remove the brltty package, or mask its "
                                                       "udev rule and service)"));
    }
    return {};
}

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

QStringList EffectiveUdevRuleFiles(const QStringList& ruleFolders) {
    QSet<QString> seen;
    QStringList files;
    for (const QString& folder : ruleFolders) {
        const QDir dir(folder);
        for (const QFileInfo& rule :
             dir.entryInfoList({QStringLiteral("*.rules")}, QDir::Files | QDir::System)) {
            if (seen.contains(rule.fileName()))
                continue;
            seen.insert(rule.fileName());
            if (rule.size() > 0 && rule.canonicalFilePath() != QLatin1String("/dev/null"))
                files << rule.fileName();
        }
    }
    return files;
}

bool SessionHasSeat(const QByteArray& sessionState) {
    if (sessionState.isEmpty())
        return true; // no logind record: nothing known to be missing
    return recordValue(sessionState, "REMOTE") != "1" &&
           !recordValue(sessionState, "SEAT").isEmpty();
}

std::vector<HostShortcoming> PortGrabbers(const QStringList& processNames,
                                          const QStringList& runningUnits,
                                          const QStringList& udevRuleFiles) {
    const auto isBrltty = [](const QString& unit) {
        return unit.startsWith(QLatin1String("brltty")) && unit.endsWith(QLatin1String(".service"));
    };
    std::vector<HostShortcoming> grabbers;
    if (processNames.contains(QLatin1String("ModemManager")) ||
        runningUnits.contains(QLatin1String("ModemManager.service")))
        grabbers.push_back(HostShortcoming::ModemManager);
    // brltty's own udev rule starts it when a matching adapter is plugged in.
    if (processNames.contains(QLatin1String("brltty")) ||
        std::any_of(runningUnits.begin(), runningUnits.end(), isBrltty) ||
        std::any_of(udevRuleFiles.begin(), udevRuleFiles.end(),
                    [](const QString& file) { return file.contains(QLatin1String("brltty")); }))
        grabbers.push_back(HostShortcoming::Brltty);
    return grabbers;
}

std::vector<HostShortcoming> CheckHostReadiness() {
    std::vector<HostShortcoming> missing;
    if (!canUseSerialDevices())
        missing.push_back(HostShortcoming::SerialAccess);
    const QStringList ruleFolders = {"/etc/udev/rules.d", "/run/udev/rules.d",
                                     "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
    if (!UdevRuleInstalled(ruleFolders))
        missing.push_back(HostShortcoming::UdevRule);
    bool portStartOk = false;
    int portStart = readSmallFile(QStringLiteral("/proc/sys/net/ipv4/ip_unprivileged_port_start"))
                        .trimmed()
                        .toInt(&portStartOk);
    if (!portStartOk)
        portStart = -1;
    // The window binds the ports itself where it may, else through the bind helper.
    if (!MayBindBootPorts(geteuid(), readSmallFile(QStringLiteral("/proc/self/status")),
                          portStart) &&
        !BindHelperHoldsItsRight(BindHelperPath()))
        missing.push_back(HostShortcoming::BootPorts);
    // Group rights reach the printers without the seat's access list.
    const bool groupsSuffice = geteuid() == 0 || (inGroup("dialout") && inGroup("lp"));
    if (!groupsSuffice && !SessionHasSeat(ownSessionState()))
        missing.push_back(HostShortcoming::NoSeat);
    for (const HostShortcoming grabber :
         PortGrabbers(processNames(), runningSystemUnits(), EffectiveUdevRuleFiles(ruleFolders)))
        missing.push_back(grabber);
    return missing;
}

} // namespace posflash
