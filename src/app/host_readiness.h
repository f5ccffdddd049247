#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace posflash {

class Faces;

// What a first start checks on this machine instead of installing controls: the rights the
// tool needs to reach a printer, and what may take the printer's port away from it.
enum class HostShortcoming {
    SerialAccess, // cannot open serial devices (not in the dialout group)
    UdevRule,     // the udev rule that hands printer devices to users is not installed
    BootPorts,    // cannot bind UDP ports 67 and 69 for a network download
    NoSeat,       // the session has no seat (a remote login): udev's uaccess does not serve it
    ModemManager, // ModemManager runs and probes new serial ports with AT commands
    Brltty,       // brltty runs or is started by udev, and claims USB-serial adapters
};

inline constexpr const char* kUdevRuleName = "60-posflash.rules";

// Every shortcoming of the running process on this host. Reads /proc, /sys and /run only, so
// it never waits on another process.
std::vector<HostShortcoming> CheckHostReadiness();

// The shortcoming and its remedy, in the face in force.
QString HostShortcomingText(HostShortcoming missing, const Faces& faces);

// The parts, over the facts they read, so they can be checked without the host.
bool UdevRuleInstalled(const QStringList& ruleFolders);
// procStatus: the text of /proc/self/status; unprivilegedPortStart: the value of
// net.ipv4.ip_unprivileged_port_start (-1 when unknown).
bool MayBindBootPorts(unsigned effectiveUid, const QByteArray& procStatus,
                      int unprivilegedPortStart);
// sessionState: logind's record of this session (/run/systemd/sessions/<id>), empty when there
// is none to read. False only for a session known to be remote or without a seat.
bool SessionHasSeat(const QByteArray& sessionState);
// What may hold a printer's port: processNames are the names of running processes
// (/proc/<pid>/comm), runningUnits the system units with processes, udevRuleFiles the file
// names in the udev rule folders.
// The rule file names udev reads from ruleFolders (the first folder wins): one that is empty or
// a link to /dev/null masks the same name in later folders.
QStringList EffectiveUdevRuleFiles(const QStringList& ruleFolders);
std::vector<HostShortcoming> PortGrabbers(const QStringList& processNames,
                                          const QStringList& runningUnits,
                                          const QStringList& udevRuleFiles);

} // namespace posflash
