#pragma once

#include "ports/usb_inventory.h"

namespace posflash::testing {

class FakeUsbInventory : public UsbInventory {
public:
    std::optional<std::vector<UsbDeviceEntry>> devices() const override {
        if (!reachable)
            return std::nullopt;
        return list;
    }
    std::vector<UsbDeviceEntry> list;
    bool reachable = true;
};

} // namespace posflash::testing
