#include "ports/usb_class.h"

#include "ports/com_port_map.h"
#include "ports/mcommunicate.h"
#include "ports/regedit.h"

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

UsbClass::UsbClass(const UsbInventory& inventory, ComPortMap& comPorts, PortModel& portModel)
    : inventory_(inventory), comPorts_(comPorts), portModel_(portModel) {}

std::optional<UsbDeviceEntry> UsbClass::findKnown(const QStringList& ids) const {
    const auto devices = inventory_.devices();
    if (!devices)
        return std::nullopt;
    return FindKnownDevice(*devices, ids);
}

bool UsbClass::FindUsbComPort(bool apply) {
    const auto found = findKnown(KnownUsbComIds());
    if (!found)
        return false;
    if (apply)
        SelectUsbComPort(*found);
    return true;
}

bool UsbClass::FindUsbDevice() {
    const auto found = findKnown(KnownUsbDeviceIds());
    if (!found)
        return false;
    ReadUsbDevicePath(*found);
    return true;
}

void UsbClass::SelectUsbComPort(const UsbDeviceEntry& device) {
    QString portName;
    if (RegReadValue(device, QStringLiteral("PortName"), portName, comPorts_) != 0)
        return;
    const auto number = ParseComName(portName);
    if (!number)
        return;
    // Selecting runs the list's action, which closes the port and stores the index: only for
    // a real change, so a repeated press leaves the open port and the settings file alone.
    if (portModel_.comIndex() != *number - 1)
        portModel_.selectComIndex(*number - 1);
}

void UsbClass::ReadUsbDevicePath(const UsbDeviceEntry& device) {
    QString path;
    if (RegReadValue(device, QStringLiteral("SymbolicName"), path, comPorts_) == 0)
        usbDevicePath_ = path;
}

} // namespace posflash
