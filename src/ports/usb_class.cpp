#include "ports/usb_class.h"

#include "ports/com_port_map.h"
#include "ports/mcommunicate.h"

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

bool UsbClass::FindUsbComPort(bool apply) {
    const auto devices = inventory_.devices();
    if (!devices)
        return false;
    const auto found = FindKnownDevice(*devices, KnownUsbComIds());
    if (!found)
        return false;
    if (apply)
        SelectUsbComPort(*found);
    return true;
}

void UsbClass::SelectUsbComPort(const UsbDeviceEntry& device) {
    if (device.serialNode.isEmpty())
        return;
    const int number = comPorts_.assign(device.serialNode);
    if (number < 1 || number > PortModel::kComCount)
        return;
    if (portModel_.comIndex() != number - 1)
        portModel_.selectComIndex(number - 1);
}

} // namespace posflash
