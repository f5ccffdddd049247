#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

// Only umockdev_testbed.cpp sees glib: its headers use "signals", which Qt defines as a macro.
typedef struct _UMockdevTestbed UMockdevTestbed;

namespace posflash::testing {

// A umockdev test bed: fake sysfs devices and /dev nodes, and uevents libudev monitors receive.
class Testbed {
public:
    static constexpr const char* kUsbRoot = "/sys/devices/pci0000:00/0000:00:14.0/usb1";

    Testbed();
    ~Testbed();
    Testbed(const Testbed&) = delete;
    Testbed& operator=(const Testbed&) = delete;

    // Devices in umockdev's record format (P:, E:, A:, N: lines); each sends an "add" uevent.
    bool add(const QString& description);
    // What the kernel does when a device is pulled out: the event, then the sysfs tree is gone.
    void unplug(const QString& syspath);
    // Changes a sysfs attribute of a device, as a driver may, without telling anyone.
    void setAttribute(const QString& syspath, const char* name, const QString& value);
    // Sends a uevent ("change", ...) for a device that is there.
    void sendEvent(const QString& syspath, const char* action);
    // Where a path of the bed (/dev/..., /sys/...) is on disk, for a test that puts something
    // else there or tidies up after umockdev.
    QString onDisk(const QString& path) const;

private:
    UMockdevTestbed* bed_;
};

// One USB device below the first root hub, in the record format, with its interfaces.
struct FakeUsbDevice {
    QString busPath;   // "1-1"
    QString vendorId;  // as sysfs writes it, e.g. "0483"
    QString productId; // "5740"
    QString serial;    // empty: the device reports none
    struct Interface {
        QString interfaceClass;  // "02" CDC, "07" printer, "03" HID
        QString subsystem;       // of the node below it: "tty", "usbmisc", or empty
        QString nodeName;        // "ttyACM0", "usb/lp0", "usb/hiddev0"
        QString portDirectory{}; // USB-serial drivers put a port device between: "ttyUSB0"
    };
    std::vector<Interface> interfaces;

    QString syspath() const { return QString(Testbed::kUsbRoot) + "/" + busPath; }

    QString description() const {
        const QString device = QString(Testbed::kUsbRoot).mid(4) + "/" + busPath;
        QString text = "P: " + device + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\n";
        if (!vendorId.isNull())
            text += "A: idVendor=" + vendorId + "\n";
        if (!productId.isNull())
            text += "A: idProduct=" + productId + "\n";
        if (!serial.isEmpty())
            text += "A: serial=" + serial + "\n";
        text += "\n";
        for (std::size_t i = 0; i < interfaces.size(); ++i) {
            const Interface& in = interfaces[i];
            const QString interface = device + "/" + busPath + ":1." + QString::number(i);
            text += "P: " + interface + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\n" +
                    "A: bInterfaceClass=" + in.interfaceClass + "\n\n";
            if (in.subsystem.isEmpty())
                continue;
            const QString name = in.nodeName.section('/', -1);
            const QString port = in.portDirectory.isEmpty() ? QString() : "/" + in.portDirectory;
            text += "P: " + interface + port + "/" + in.subsystem + "/" + name +
                    // A plain file: umockdev 0.17 backs a readable node with a pty, whose
                    // realpath() corrupts the heap (the COM-number map resolves serial nodes).
                    "\nN: " + in.nodeName + "=00" + "\nE: SUBSYSTEM=" + in.subsystem +
                    "\nE: DEVNAME=/dev/" + in.nodeName + "\n\n";
        }
        return text;
    }
};

} // namespace posflash::testing
