#include "ports/hotplug_usb_inventory.h"

namespace posflash {

std::optional<std::vector<UsbDeviceEntry>> HotplugUsbInventory::devices() const {
    if (!monitor_.isActive())
        return scan_.devices();
    const std::lock_guard hold(lock_);
    const std::uint64_t changes = monitor_.changeCount();
    if (!listed_ || changes != listedAtChange_) {
        // A failed listing is not kept: the next call tries again.
        listed_ = scan_.devices();
        listedAtChange_ = changes;
    }
    return listed_;
}

} // namespace posflash
