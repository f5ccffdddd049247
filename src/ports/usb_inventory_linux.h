#pragma once

#include "ports/usb_inventory.h"

struct udev;

namespace posflash {

// The host's USB devices from libudev: each USB device (devtype usb_device) with its
// identifier, the tty node of its interfaces as its serial node, and as its raw node the
// printer node (/dev/usb/lpN) of a printer-class interface, else the tty node.
class UdevUsbInventory : public UsbInventory {
public:
    UdevUsbInventory();
    ~UdevUsbInventory() override;
    UdevUsbInventory(const UdevUsbInventory&) = delete;
    UdevUsbInventory& operator=(const UdevUsbInventory&) = delete;

    // nullopt when libudev cannot be reached or cannot list the devices.
    std::optional<std::vector<UsbDeviceEntry>> devices() const override;

private:
    // Made at the first scan and kept; a failed attempt is retried at the next.
    mutable udev* udev_ = nullptr;
};

} // namespace posflash
