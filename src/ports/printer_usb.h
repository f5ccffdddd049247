#pragma once

#include "ports/usb_inventory.h"

#include <QStringList>

namespace posflash {

class ComPortMap;

// The identifiers of the printers' USB interfaces, searched in this order.
const QStringList& KnownUsbDeviceIds(); // any printer USB device
const QStringList& KnownUsbComIds();    // printers that present a virtual COM port

// The first device, in the host's order, whose identifier contains one of the ids
// (case-sensitive substring).
std::optional<UsbDeviceEntry> FindKnownDevice(const std::vector<UsbDeviceEntry>& devices,
                                              const QStringList& ids);

// Finding the printer's USB device, its COM port and the node raw output goes to. Every call
// asks the inventory afresh; an inventory that cannot be reached counts as no device.
class PrinterUsb {
public:
    PrinterUsb(const UsbInventory& inventory, ComPortMap& comPorts);

    // True when a known virtual COM device is present.
    bool printerComPresent() const;
    // The COM number (the "PortName") of the known virtual COM device present, if any.
    std::optional<int> printerComNumber() const;

    // True when a known printer USB device is present; refreshes rawDevicePath.
    bool findPrinterDevice();

    // rawDevicePath = the device's "SymbolicName"; a failed lookup keeps the previous path.
    void readRawDevicePath(const UsbDeviceEntry& device);
    // The node raw output goes to, as the last successful lookup found it.
    const QString& rawDevicePath() const { return usbDevicePath_; }

private:
    std::optional<UsbDeviceEntry> findKnown(const QStringList& ids) const;

    const UsbInventory& inventory_;
    ComPortMap& comPorts_;
    QString usbDevicePath_;
};

} // namespace posflash
