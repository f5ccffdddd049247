#include "ports/named_usb_device.h"

#include <QFileInfo>

#include <utility>

namespace posflash {

NamedUsbDeviceInventory::NamedUsbDeviceInventory(const UsbInventory& host, QString node)
    : host_(host), node_(std::move(node)) {}

std::optional<std::vector<UsbDeviceEntry>> NamedUsbDeviceInventory::devices() const {
    // An unreachable host inventory must not hide the named device.
    std::vector<UsbDeviceEntry> list = host_.devices().value_or(std::vector<UsbDeviceEntry>{});
    if (QFileInfo::exists(node_))
        list.insert(list.begin(), {QString::fromLatin1(kInstanceId), node_, node_});
    return list;
}

} // namespace posflash
