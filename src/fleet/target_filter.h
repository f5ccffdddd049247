#pragma once

#include "ports/usb_inventory.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace posflash {

// Which of the host's printers --all and --watch take: those on the named hub ports and
// those whose serial number starts as given, so that two stations can share one computer.
struct UsbTargetFilter {
    QStringList usbPaths; // empty: any port
    QString serialPrefix; // empty: any printer, with a serial number or not

    bool accepts(const UsbDeviceEntry& device) const;
};

// How a run tells printers apart: the serial number, or the place on the bus when the
// printer has none.
QString PrinterKey(const UsbDeviceEntry& device);

// A printer in its boot loader, ready for a download: it presents a virtual COM port.
bool IsComPrinter(const UsbDeviceEntry& device);

// A printer running its application: a known printer with only its raw device node.
bool IsRawOnlyPrinter(const UsbDeviceEntry& device);

// The printers that pass the filter, in the host's order.
std::vector<UsbDeviceEntry> FilteredPrinters(const std::vector<UsbDeviceEntry>& devices,
                                             const UsbTargetFilter& filter, bool withRawOnly);

// A printer found by a scan: its key, and whether the scan before found it too.
struct ScannedPrinter {
    UsbDeviceEntry device;
    QString key;
    bool seenBefore = false;
};

// The printers that pass the filter, each marked against seen, the keys the scan before
// found; seen becomes the keys found now. An inventory that could not be read finds nothing
// and leaves seen as it was.
std::vector<ScannedPrinter> ScanPrinters(const std::optional<std::vector<UsbDeviceEntry>>& devices,
                                         const UsbTargetFilter& filter, bool withRawOnly,
                                         QSet<QString>& seen);

} // namespace posflash
