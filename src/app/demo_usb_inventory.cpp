#include "app/demo_usb_inventory.h"

#include <utility>

namespace posflash {

DemoUsbInventory::DemoUsbInventory(const UsbInventory& host, QString serialNode)
    : host_(host), serialNode_(std::move(serialNode)) {}

std::optional<std::vector<UsbDeviceEntry>> DemoUsbInventory::devices() const {
    // An unreachable host inventory must not hide the demo printer.
    std::vector<UsbDeviceEntry> list = host_.devices().value_or(std::vector<UsbDeviceEntry>{});
    list.push_back({QString::fromLatin1(kInstanceId), serialNode_, serialNode_});
    return list;
}

} // namespace posflash
