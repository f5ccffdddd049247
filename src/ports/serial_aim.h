#pragma once

#include "base/error.h"
#include "base/printer.h"
#include "ports/usb_inventory.h"

#include <QString>

#include <functional>
#include <vector>

namespace posflash {

class ComPortMap;
class Faces;
class SerialControl;

// What the decision reads of the host, so that it is decided without touching it.
struct SerialHost {
    std::vector<UsbDeviceEntry> devices;
    std::function<bool(const QString& node)> exists;
    std::function<int(const QString& node)> comNumberOf; // 0 when unmapped
    std::function<QString(int number)> nodeOf;           // empty when unmapped
};

// Where a printer named by its COM number, device node or USB path (the device's own node)
// leads: the printer with its node, its COM number (0 when the map has none yet and one is to
// be assigned), and the USB device's path and serial when the node is a known USB device's. A
// USB path without a serial node and a node that does not exist are refused (domain Ports;
// ENOENT for the missing node), in the faces' language.
Result<Printer> AimSerial(const Printer& printer, const SerialHost& host, const Faces& faces);

// Points the serial control at the node a target names, as this host has it: a named node the
// map does not know yet gets the lowest free number, and the line, closed first, is set to
// that number. Refused as AimSerial refuses, or when no number can be given.
class SerialAimer {
public:
    SerialAimer(ComPortMap& comPorts, const UsbInventory& inventory, SerialControl& serial);

    Result<Printer> aim(const Printer& printer, const Faces& faces);

private:
    ComPortMap& comPorts_;
    const UsbInventory& inventory_;
    SerialControl& serial_;
};

} // namespace posflash
