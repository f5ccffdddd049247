#include "ports/usb_inventory_linux.h"

#include "ports/usb_instance_id.h"

#include <QDir>
#include <QFile>

#include <libudev.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

// libudev makes a device object per sysfs directory it looks at, resolving every component of
// its path; its enumerator looks at every interface, and at every ancestor of a device matched
// by name. Listing the few directories that name what we need, and asking libudev only about
// those entries, keeps the check that runs every second on the window thread to a fraction.

namespace posflash {
namespace {

constexpr const char* kUsbBus = "/sys/bus/usb/devices";
constexpr const char* kPrinterInterfaceClass = "07";

struct DeviceUnref {
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
using Device = std::unique_ptr<udev_device, DeviceUnref>;
using UsbDevices = std::map<QString, Device>; // by syspath, so in udev's order

// libudev hands out NULL for a missing value; anything odd is caught when the identifier is
// built.
QString text(const char* value) {
    return value ? QString::fromUtf8(value) : QString();
}

QString sysattr(udev_device* device, const char* name) {
    return text(udev_device_get_sysattr_value(device, name));
}

// The entries of a sysfs directory that pass the filter; empty when it does not exist (no such
// device on this host), nullopt when it cannot be read.
template <typename Keep>
std::optional<std::vector<std::string>> entriesOf(const char* directory, Keep keep) {
    std::vector<std::string> names;
    DIR* listing = ::opendir(directory);
    if (!listing)
        return errno == ENOENT ? std::make_optional(names) : std::nullopt;
    while (const dirent* entry = ::readdir(listing))
        if (entry->d_name[0] != '.' && keep(entry->d_name))
            names.emplace_back(entry->d_name);
    ::closedir(listing);
    return names;
}

// Every USB device. Its bus directory names them all, interfaces being the names with a colon.
std::optional<UsbDevices> listUsbDevices(udev* context) {
    const auto names = entriesOf(kUsbBus, [](const char* name) { return !std::strchr(name, ':'); });
    if (!names)
        return std::nullopt;
    UsbDevices devices;
    for (const std::string& name : *names) {
        // A device may leave between the listing and this look: then it is simply not there.
        Device device(udev_device_new_from_subsystem_sysname(context, "usb", name.c_str()));
        if (device && text(udev_device_get_devtype(device.get())) == QLatin1String("usb_device"))
            devices.emplace(text(udev_device_get_syspath(device.get())), std::move(device));
    }
    return devices;
}

// The devices a class directory's entries stand for: each entry links into /sys/devices.
std::vector<QString> classMembers(const char* classDirectory, const char* namePrefix) {
    const std::size_t prefixLength = std::strlen(namePrefix);
    const auto names = entriesOf(classDirectory, [&](const char* name) {
        return std::strncmp(name, namePrefix, prefixLength) == 0;
    });
    std::vector<QString> syspaths;
    if (!names)
        return syspaths;
    for (const std::string& name : *names) {
        const std::string link = std::string(classDirectory) + "/" + name;
        char target[4096];
        const ssize_t length = ::readlink(link.c_str(), target, sizeof target);
        if (length <= 0 || length == static_cast<ssize_t>(sizeof target))
            continue; // no link, or one too long to be sysfs's
        syspaths.push_back(QDir::cleanPath(QFile::decodeName(classDirectory) + "/" +
                                           QFile::decodeName(QByteArray(target, length))));
    }
    std::sort(syspaths.begin(), syspaths.end());
    return syspaths;
}

// The USB device a node belongs to: the nearest ancestor directory that is one.
UsbDevices::const_iterator ownerOf(const UsbDevices& usbDevices, QString path) {
    for (qsizetype slash = path.lastIndexOf(QLatin1Char('/')); slash > 0;
         slash = path.lastIndexOf(QLatin1Char('/'))) {
        path.truncate(slash);
        if (const auto owner = usbDevices.find(path); owner != usbDevices.end())
            return owner;
    }
    return usbDevices.end();
}

QString devnodeOf(udev* context, const QString& syspath) {
    const Device node(udev_device_new_from_syspath(context, QFile::encodeName(syspath)));
    return node ? text(udev_device_get_devnode(node.get())) : QString();
}

// The node of a printer-class interface; empty for any other.
QString printerNodeOf(udev* context, const QString& syspath) {
    const Device node(udev_device_new_from_syspath(context, QFile::encodeName(syspath)));
    // The parent belongs to the node and must not be unreferenced.
    udev_device* interface =
        node ? udev_device_get_parent_with_subsystem_devtype(node.get(), "usb", "usb_interface")
             : nullptr;
    if (!interface ||
        sysattr(interface, "bInterfaceClass") != QLatin1String(kPrinterInterfaceClass))
        return {};
    return text(udev_device_get_devnode(node.get()));
}

struct Nodes {
    QString serial;  // the first tty node
    QString printer; // the first printer node of a printer-class interface
};

// The serial and printer nodes of the USB devices, by the USB device's syspath: CDC ACM and
// USB-serial ttys, and the printer class driver's nodes. Nodes of other devices cost nothing.
std::map<QString, Nodes> usbNodes(udev* context, const UsbDevices& usbDevices) {
    std::map<QString, Nodes> nodes;
    for (const char* prefix : {"ttyACM", "ttyUSB"})
        for (const QString& syspath : classMembers("/sys/class/tty", prefix))
            if (const auto owner = ownerOf(usbDevices, syspath); owner != usbDevices.end())
                if (Nodes& found = nodes[owner->first]; found.serial.isEmpty())
                    found.serial = devnodeOf(context, syspath);
    for (const QString& syspath : classMembers("/sys/class/usbmisc", "lp"))
        if (const auto owner = ownerOf(usbDevices, syspath); owner != usbDevices.end())
            if (Nodes& found = nodes[owner->first]; found.printer.isEmpty())
                found.printer = printerNodeOf(context, syspath);
    return nodes;
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
    const auto usbDevices = listUsbDevices(udev_);
    if (!usbDevices)
        return std::nullopt;

    const std::map<QString, Nodes> nodes = usbNodes(udev_, *usbDevices);
    std::vector<UsbDeviceEntry> found;
    for (const auto& [syspath, device] : *usbDevices) {
        const QString vendor = sysattr(device.get(), "idVendor");
        const QString product = sysattr(device.get(), "idProduct");
        const QString serial = sysattr(device.get(), "serial");
        const QString busPath = text(udev_device_get_sysname(device.get()));
        const auto id = UsbInstanceId(vendor, product, serial, busPath);
        if (!id)
            continue;
        UsbDeviceEntry entry;
        entry.instanceId = *id;
        entry.vendorId = vendor.toUpper();
        entry.productId = product.toUpper();
        // The identifier carries the serial number only when it is fit to.
        if (!serial.isEmpty() && id->endsWith(QLatin1Char('\\') + serial))
            entry.serial = serial;
        entry.usbPath = busPath;
        if (const auto own = nodes.find(syspath); own != nodes.end()) {
            entry.serialNode = own->second.serial;
            entry.rawNode =
                own->second.printer.isEmpty() ? own->second.serial : own->second.printer;
        }
        found.push_back(std::move(entry));
    }
    return found;
}

} // namespace posflash
