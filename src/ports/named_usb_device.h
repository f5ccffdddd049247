#pragma once

#include "ports/usb_inventory.h"

namespace posflash {

// The host's inventory plus one printer USB virtual COM device at a node the user named
// (the command line's device path, the demo's simulated printer). It is present while its
// node exists, so the link and the boot command treat it like any known printer.
class NamedUsbDeviceInventory : public UsbInventory {
public:
    static constexpr const char* kInstanceId = "USB\\VID_0483&PID_5740\\NAMED";

    NamedUsbDeviceInventory(const UsbInventory& host, QString node);

    std::optional<std::vector<UsbDeviceEntry>> devices() const override;

private:
    const UsbInventory& host_;
    QString node_;
};

} // namespace posflash
