#pragma once

#include "ports/usb_hotplug.h"
#include "ports/usb_inventory_linux.h"

#include <cstdint>
#include <mutex>

namespace posflash {

// The host's USB devices as last listed, listed again only after the host reported a device
// event: the presence check that runs every second costs a look at the event socket instead
// of a walk through sysfs. When the host's events cannot be subscribed to, every call lists
// the devices afresh. Safe to ask from several threads.
class HotplugUsbInventory : public UsbInventory {
public:
    HotplugUsbInventory() = default;

    std::optional<std::vector<UsbDeviceEntry>> devices() const override;

    // Tells when the host's devices changed (from the thread the inventory was made on).
    UsbHotplugMonitor& monitor() { return monitor_; }

private:
    // Subscribed before the first listing, so no change between the two goes unseen.
    mutable UsbHotplugMonitor monitor_;
    UdevUsbInventory scan_;
    mutable std::mutex lock_;
    mutable std::optional<std::vector<UsbDeviceEntry>> listed_;
    mutable std::uint64_t listedAtChange_ = 0;
};

} // namespace posflash
