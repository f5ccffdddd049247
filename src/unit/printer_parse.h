#pragma once

#include "base/error.h"
#include "base/printer.h"
#include "download/download_result.h"

#include <QString>

#include <optional>

namespace posflash {

class ComPortMap;
struct UsbDeviceEntry;

// The one place a printer is read from what names it: a command-line word, a line.ini entry or
// a USB inventory entry. (A history row's columns are the printer's own fields.)

// How a port's text is read: as typed on a command line, where a text that starts like a COM
// name is taken as one unless a node has that name, or as a setting, read as it is.
enum class DeviceCheck { Now, Later };

// "COM3" (any case, COM1 to COM255) or a device node; a name without a leading slash is one
// under the current folder. Whether the port is there is RefusedPort's question.
Result<Printer> ParsePortPrinter(const QString& text, DeviceCheck check);

// An IPv4 address of four decimal parts and, unless empty, a MAC of six hexadecimal pairs
// joined by "-".
Result<Printer> ParseNetworkPrinter(const QString& ip, const QString& mac);

// A printer on the USB bus path a setting names ("1-1.2"); its node is the device's own once
// one is plugged in there.
Printer UsbPrinterAt(const QString& usbPath);

// A USB device the host lists: its serial node, bus path and serial number.
Printer PrinterOfUsbDevice(const UsbDeviceEntry& device);

// The word a user names it by, the way back: its address, "COMn", the node, or for a USB
// printer its node, else its bus path.
QString PrinterShown(const Printer& printer);

// Why a port named for a printer cannot be one, asked before anything is opened, the same way
// in every front end: port-missing (a COM number with no device behind it, a node that is not
// there) or port-not-serial (a node that is no serial line, such as /dev/null or a folder).
// shown is the port as the user named it. Nothing for a network printer or a port that may be.
struct PortRefusal {
    Cause cause = Cause::PortMissing;
    QString shown;
};
std::optional<PortRefusal> RefusedPort(const Printer& printer, const ComPortMap& comPorts);

// Fails when the device node cannot be a serial line: missing (ENOENT), not a character device
// or one with no terminal settings such as /dev/null (ENOTTY). Checked without waiting: the
// node is opened non-blocking and never becomes our controlling terminal. A node that exists
// but cannot be opened here is left for the link to report.
Status CheckSerialDevice(const QString& node);

} // namespace posflash
