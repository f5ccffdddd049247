#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace posflash {

// One USB device as the host reports it.
struct UsbDeviceEntry {
    // "USB\VID_XXXX&PID_XXXX\<serial or bus path>", vendor and product in upper-case hex.
    QString instanceId;
    QString serialNode; // its tty node, empty when it has none
    QString rawNode;    // the node raw output is written to
    // As the device reports them: ids in upper-case hex, its serial number (empty when it has
    // none or one an identifier cannot carry) and its place on the bus ("1-1.2"). Defaulted
    // here, so that an entry made from the first three alone stays complete.
    QString vendorId{};
    QString productId{};
    QString serial{};
    QString usbPath{};
};

// The host's list of USB devices.
class UsbInventory {
public:
    virtual ~UsbInventory() = default;
    // Every USB device, in the host's order; empty when the inventory cannot be reached.
    virtual std::optional<std::vector<UsbDeviceEntry>> devices() const = 0;
};

} // namespace posflash
