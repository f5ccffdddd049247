#include "ports/usb_class.h"

#include "ports/com_port_map.h"
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

UsbClass::UsbClass(const UsbInventory& inventory, ComPortMap& comPorts)
    : inventory_(inventory), comPorts_(comPorts) {}

std::optional<UsbDeviceEntry> UsbClass::findKnown(const QStringList& ids) const {
    const auto devices = inventory_.devices();
    if (!devices)
        return std::nullopt;
    return FindKnownDevice(*devices, ids);
}

bool UsbClass::FindUsbComPort() const {
    return findKnown(KnownUsbComIds()).has_value();
}

std::optional<int> UsbClass::FindUsbComNumber() const {
    const auto found = findKnown(KnownUsbComIds());
    if (!found)
        return std::nullopt;
    QString portName;
    if (RegReadValue(*found, QStringLiteral("PortName"), portName, comPorts_) != 0)
        return std::nullopt;
    return ParseComName(portName);
}

bool UsbClass::FindUsbDevice() {
    const auto found = findKnown(KnownUsbDeviceIds());
    if (!found)
        return false;
    ReadUsbDevicePath(*found);
    return true;
}

void UsbClass::ReadUsbDevicePath(const UsbDeviceEntry& device) {
    QString path;
    if (RegReadValue(device, QStringLiteral("SymbolicName"), path, comPorts_) == 0)
        usbDevicePath_ = path;
}

} // namespace posflash
