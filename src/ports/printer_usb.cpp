#include "ports/printer_usb.h"

#include "ports/com_port_map.h"
#include "ports/device_parameters.h"

#include <algorithm>

namespace posflash {

const QStringList& KnownUsbDeviceIds() {
    static const QStringList ids{"VID_0483&PID_5740", "VID_0483&PID_5743", "VID_1FC9&PID_2014",
                                 "VID_1FC9&PID_2016"};
    return ids;
}

const QStringList& KnownUsbComIds() {
    static const QStringList ids{"VID_0483&PID_5740", "VID_1FC9&PID_2014"};
    return ids;
}

std::optional<UsbDeviceEntry> FindKnownDevice(const std::vector<UsbDeviceEntry>& devices,
                                              const QStringList& ids) {
    for (const UsbDeviceEntry& device : devices)
        for (const QString& id : ids)
            if (device.instanceId.contains(id, Qt::CaseSensitive))
                return device;
    return std::nullopt;
}

PrinterUsb::PrinterUsb(const UsbInventory& inventory, ComPortMap& comPorts)
    : inventory_(inventory), comPorts_(comPorts) {}

std::optional<UsbDeviceEntry> PrinterUsb::findKnown(const QStringList& ids) const {
    const auto devices = inventory_.devices();
    if (!devices)
        return std::nullopt;
    return FindKnownDevice(*devices, ids);
}

bool PrinterUsb::printerComPresent() const {
    return findKnown(KnownUsbComIds()).has_value();
}

std::optional<int> PrinterUsb::printerComNumber() const {
    const auto found = findKnown(KnownUsbComIds());
    if (!found)
        return std::nullopt;
    const Result<QString> portName = ReadDeviceParameter(*found, "PortName", comPorts_);
    return portName ? ParseComName(*portName) : std::nullopt;
}

bool PrinterUsb::findPrinterDevice() {
    const auto found = findKnown(KnownUsbDeviceIds());
    if (!found)
        return false;
    readRawDevicePath(*found);
    return true;
}

void PrinterUsb::readRawDevicePath(const UsbDeviceEntry& device) {
    // A failed lookup keeps the previous path.
    if (const Result<QString> path = ReadDeviceParameter(device, "SymbolicName", comPorts_))
        usbDevicePath_ = *path;
}

} // namespace posflash
