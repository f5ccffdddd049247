#pragma once

#include "base/error.h"
#include "download/download_job.h"
#include "download/download_result.h"

#include <QString>

#include <optional>

namespace posflash {

class ComPortMap;

// One printer, as a front end names it: a COM number, a serial device node, a USB hub port (its
// node once the printer is there), or an address on the network with its MAC.
struct PrinterTarget {
    enum class Kind { Com, Device, Usb, Network };

    int comNumber = 0;
    QString device;
    QString usbPath;
    // The address in decimal parts, made from the parsed bytes ("010.077.000.002" is
    // "10.77.0.2"): whoever builds a host address from it gets the printer meant.
    QString ip;
    QString mac; // as given and checked; empty while the unit's MAC is not known yet

    Kind kind() const;
};

// How a port's text is read: as typed on a command line, where a text that starts like a COM
// name is taken as one unless a node has that name, or as a setting, read as it is.
enum class DeviceCheck { Now, Later };

// "COM3" (any case, COM1 to COM255) or a device node; a name without a leading slash is one
// under the current folder. Whether the port is there is RefusedPort's question.
Result<PrinterTarget> ParsePortTarget(const QString& text, DeviceCheck check);

// Why a port named for a printer cannot be one, asked before anything is opened, the same way
// in every front end: port-missing (a COM number with no device behind it, a node that is not
// there) or port-not-serial (a node that is no serial line, such as /dev/null or a folder).
// shown is the port as the user named it. Nothing for a network printer or a port that may be.
struct PortRefusal {
    Cause cause = Cause::PortMissing;
    QString shown;
};
std::optional<PortRefusal> RefusedPort(const PrinterTarget& target, const ComPortMap& comPorts);

// An IPv4 address of four decimal parts and, unless empty, a MAC of six hexadecimal pairs
// joined by "-".
Result<PrinterTarget> ParseNetworkTarget(const QString& ip, const QString& mac);

// The printer as the engine's job names it.
DownloadTarget JobTargetOf(const PrinterTarget& target);

// Fails when the device node cannot be a serial line: missing (ENOENT), not a character device
// or one with no terminal settings such as /dev/null (ENOTTY). Checked without waiting: the
// node is opened non-blocking and never becomes our controlling terminal. A node that exists
// but cannot be opened here is left for the link to report.
Status CheckSerialDevice(const QString& device);

} // namespace posflash
