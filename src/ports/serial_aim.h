#pragma once

#include "base/error.h"
#include "ports/usb_inventory.h"

#include <QString>

#include <functional>
#include <vector>

namespace posflash {

class ComPortMap;
class Faces;
class SerialControl;

// Which serial node a download goes to, as a user named it: a COM number, a device node, or
// a USB path (the device's own node).
struct SerialTarget {
    int comNumber = 0;
    QString devicePath;
    QString usbPath;

    // A device rather than a bare COM number.
    bool namesDevice() const { return !devicePath.isEmpty() || !usbPath.isEmpty(); }
};

// Where that leads: the node, its COM number (0 when the map has none yet and one is to be
// assigned), and the USB device's path and serial when the node is a known USB device's.
struct SerialAim {
    QString node;
    int comNumber = 0;
    QString usbPath;
    QString usbSerial;
};

// What the decision reads of the host, so that it is decided without touching it.
struct SerialHost {
    std::vector<UsbDeviceEntry> devices;
    std::function<bool(const QString& node)> exists;
    std::function<int(const QString& node)> comNumberOf; // 0 when unmapped
    std::function<QString(int number)> nodeOf;           // empty when unmapped
};

// A USB path without a serial node and a node that does not exist are refused (domain Ports;
// ENOENT for the missing node), in the faces' language.
Result<SerialAim> AimSerial(const SerialTarget& target, const SerialHost& host, const Faces& faces);

// Points the serial control at the node a target names, as this host has it: a named node the
// map does not know yet gets the lowest free number, and the line, closed first, is set to
// that number. Refused as AimSerial refuses, or when no number can be given.
class SerialAimer {
public:
    SerialAimer(ComPortMap& comPorts, const UsbInventory& inventory, SerialControl& serial);

    Result<SerialAim> aim(const SerialTarget& target, const Faces& faces);

private:
    ComPortMap& comPorts_;
    const UsbInventory& inventory_;
    SerialControl& serial_;
};

} // namespace posflash
