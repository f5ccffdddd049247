#include "fleet/target_filter.h"

#include "ports/printer_usb.h"

namespace posflash {

bool UsbTargetFilter::accepts(const UsbDeviceEntry& device) const {
    if (!usbPaths.isEmpty() && !usbPaths.contains(device.usbPath))
        return false;
    return serialPrefix.isEmpty() || device.serial.startsWith(serialPrefix);
}

QString PrinterKey(const UsbDeviceEntry& device) {
    return device.serial.isEmpty() ? QStringLiteral("usb:") + device.usbPath : device.serial;
}

bool IsComPrinter(const UsbDeviceEntry& device) {
    return !device.serialNode.isEmpty() && FindKnownDevice({device}, KnownUsbComIds());
}

bool IsRawOnlyPrinter(const UsbDeviceEntry& device) {
    return !IsComPrinter(device) && !device.rawNode.isEmpty() &&
           FindKnownDevice({device}, KnownUsbDeviceIds());
}

std::vector<UsbDeviceEntry> FilteredPrinters(const std::vector<UsbDeviceEntry>& devices,
                                             const UsbTargetFilter& filter, bool withRawOnly) {
    std::vector<UsbDeviceEntry> kept;
    for (const UsbDeviceEntry& device : devices)
        if ((IsComPrinter(device) || (withRawOnly && IsRawOnlyPrinter(device))) &&
            filter.accepts(device))
            kept.push_back(device);
    return kept;
}

std::vector<ScannedPrinter> ScanPrinters(const std::optional<std::vector<UsbDeviceEntry>>& devices,
                                         const UsbTargetFilter& filter, bool withRawOnly,
                                         QSet<QString>& seen) {
    std::vector<ScannedPrinter> found;
    if (!devices)
        return found;
    QSet<QString> now;
    for (const UsbDeviceEntry& device : FilteredPrinters(*devices, filter, withRawOnly)) {
        const QString key = PrinterKey(device);
        now.insert(key);
        found.push_back({device, key, seen.contains(key)});
    }
    seen = std::move(now);
    return found;
}

} // namespace posflash
