#include "ports/usb_inventory_linux.h"

#include "ports/usb_instance_id.h"

#include <libudev.h>

#include <memory>

namespace posflash {
namespace {

constexpr const char* kPrinterInterfaceClass = "07";

struct EnumerateUnref {
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
};
struct DeviceUnref {
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
using Enumerate = std::unique_ptr<udev_enumerate, EnumerateUnref>;
using Device = std::unique_ptr<udev_device, DeviceUnref>;

// libudev hands out NULL for a missing value; sysfs text is ASCII in practice, and anything
// odd is caught when the identifier is built.
QString text(const char* value) {
    return value ? QString::fromUtf8(value) : QString();
}

QString sysattr(udev_device* device, const char* name) {
    return text(udev_device_get_sysattr_value(device, name));
}

bool onPrinterInterface(udev_device* node) {
    // The parent belongs to the node and must not be unreferenced.
    udev_device* interface =
        udev_device_get_parent_with_subsystem_devtype(node, "usb", "usb_interface");
    return interface &&
           sysattr(interface, "bInterfaceClass") == QLatin1String(kPrinterInterfaceClass);
}

// The first tty node and the first printer node below the device, in sysfs order.
void readNodes(udev* context, udev_device* usbDevice, UsbDeviceEntry& entry) {
    Enumerate children(udev_enumerate_new(context));
    if (!children || udev_enumerate_add_match_parent(children.get(), usbDevice) < 0 ||
        udev_enumerate_add_match_subsystem(children.get(), "tty") < 0 ||
        udev_enumerate_add_match_subsystem(children.get(), "usbmisc") < 0 ||
        udev_enumerate_scan_devices(children.get()) < 0)
        return;
    QString printerNode;
    udev_list_entry* item = nullptr;
    udev_list_entry_foreach(item, udev_enumerate_get_list_entry(children.get())) {
        Device node(udev_device_new_from_syspath(context, udev_list_entry_get_name(item)));
        if (!node)
            continue;
        const QString devnode = text(udev_device_get_devnode(node.get()));
        if (devnode.isEmpty())
            continue;
        const QString subsystem = text(udev_device_get_subsystem(node.get()));
        if (subsystem == QLatin1String("tty") && entry.serialNode.isEmpty())
            entry.serialNode = devnode;
        else if (subsystem == QLatin1String("usbmisc") && printerNode.isEmpty() &&
                 onPrinterInterface(node.get()))
            printerNode = devnode;
    }
    entry.rawNode = printerNode.isEmpty() ? entry.serialNode : printerNode;
}

} // namespace

UdevUsbInventory::UdevUsbInventory() : udev_(udev_new()) {}

UdevUsbInventory::~UdevUsbInventory() {
    if (udev_)
        udev_unref(udev_);
}

std::optional<std::vector<UsbDeviceEntry>> UdevUsbInventory::devices() const {
    if (!udev_)
        udev_ = udev_new();
    if (!udev_)
        return std::nullopt;

    Enumerate usbDevices(udev_enumerate_new(udev_));
    if (!usbDevices || udev_enumerate_add_match_subsystem(usbDevices.get(), "usb") < 0 ||
        udev_enumerate_add_match_property(usbDevices.get(), "DEVTYPE", "usb_device") < 0 ||
        udev_enumerate_scan_devices(usbDevices.get()) < 0)
        return std::nullopt;

    std::vector<UsbDeviceEntry> found;
    udev_list_entry* item = nullptr;
    udev_list_entry_foreach(item, udev_enumerate_get_list_entry(usbDevices.get())) {
        // A device may leave between the listing and this look: then it is simply not there.
        Device device(udev_device_new_from_syspath(udev_, udev_list_entry_get_name(item)));
        if (!device)
            continue;
        const auto id = UsbInstanceId(
            sysattr(device.get(), "idVendor"), sysattr(device.get(), "idProduct"),
            sysattr(device.get(), "serial"), text(udev_device_get_sysname(device.get())));
        if (!id)
            continue;
        UsbDeviceEntry entry;
        entry.instanceId = *id;
        readNodes(udev_, device.get(), entry);
        found.push_back(std::move(entry));
    }
    return found;
}

} // namespace posflash
