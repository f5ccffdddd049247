#pragma once

#include "ports/usb_inventory.h"

#include <QStringList>

namespace posflash {

class ComPortMap;
class PortModel;

// The identifiers of the printers' USB interfaces, searched in this order.
const QStringList& KnownUsbDeviceIds(); // any printer USB device
const QStringList& KnownUsbComIds();    // printers that present a virtual COM port

// The first device whose identifier contains one of the ids (case-sensitive substring).
std::optional<UsbDeviceEntry> FindKnownDevice(const std::vector<UsbDeviceEntry>& devices,
                                              const QStringList& ids);

// Finding the printer's USB device and its COM port.
class UsbClass {
public:
    UsbClass(const UsbInventory& inventory, ComPortMap& comPorts, PortModel& portModel);

    // True when a known virtual COM device is present; with apply, also selects its COM port.
    bool FindUsbComPort(bool apply);

    // Selects the COM number of the device's serial node in the COM list, when it differs.
    void SelectUsbComPort(const UsbDeviceEntry& device);

private:
    const UsbInventory& inventory_;
    ComPortMap& comPorts_;
    PortModel& portModel_;
};

} // namespace posflash
