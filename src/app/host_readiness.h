#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace posflash {

// What a first start checks on this machine instead of installing controls: the rights the
// tool needs to reach a printer.
enum class HostShortcoming {
    SerialAccess, // cannot open serial devices (not in the dialout group)
    UdevRule,     // the udev rule that hands printer devices to users is not installed
    BootPorts,    // cannot bind UDP ports 67 and 69 for a network download
};

inline constexpr const char* kUdevRuleName = "60-posflash.rules";

// Every shortcoming of the running process on this host.
std::vector<HostShortcoming> CheckHostReadiness();

// The parts, over the facts they read, so they can be checked without the host.
bool UdevRuleInstalled(const QStringList& ruleFolders);
// procStatus: the text of /proc/self/status; unprivilegedPortStart: the value of
// net.ipv4.ip_unprivileged_port_start (-1 when unknown).
bool MayBindBootPorts(unsigned effectiveUid, const QByteArray& procStatus,
                      int unprivilegedPortStart);

} // namespace posflash
