#pragma once

#include "ports/usb_inventory.h"

namespace posflash {

// The host's inventory plus one printer USB virtual COM device whose serial node is given,
// for the demo against the simulated printer. The driver sees an ordinary known device.
class DemoUsbInventory : public UsbInventory {
public:
    static constexpr const char* kInstanceId = "USB\\VID_0483&PID_5740\\DEMO";

    DemoUsbInventory(const UsbInventory& host, QString serialNode);

    std::optional<std::vector<UsbDeviceEntry>> devices() const override;

private:
    const UsbInventory& host_;
    QString serialNode_;
};

} // namespace posflash
