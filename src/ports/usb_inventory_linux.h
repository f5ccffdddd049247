#pragma once

#include "ports/usb_inventory.h"

struct udev;

namespace posflash {

// The host's USB devices from libudev: each USB device (devtype usb_device) with its
// identifier; as its serial node the first CDC ACM or USB-serial tty below it (ttyACM*,
// ttyUSB*); as its raw node the printer node (/dev/usb/lp*) of a printer-class interface,
// else the serial node.
class UdevUsbInventory : public UsbInventory {
public:
    UdevUsbInventory();
    ~UdevUsbInventory() override;
    UdevUsbInventory(const UdevUsbInventory&) = delete;
    UdevUsbInventory& operator=(const UdevUsbInventory&) = delete;

    // nullopt when libudev cannot be reached or cannot list the devices.
    std::optional<std::vector<UsbDeviceEntry>> devices() const override;

private:
    // Made with the inventory and kept; when libudev failed then, every scan tries again.
    mutable udev* udev_ = nullptr;
};

} // namespace posflash
