#pragma once

#include "ports/mcommunicate.h"
#include "ports/serial_control.h"
#include "ports/usb_class.h"
#include "ports/usb_output.h"

namespace posflash::testing {

// The ports layer alone, wired as the engine wires it: the serial control, the port model,
// USB discovery and raw USB output.
class PortLayer {
public:
    PortLayer(Panel& panel, IniStore& settings, ComPortMap& comPorts, const UsbInventory& inventory)
        : serial_(comPorts), portModel_(serial_, settings, panel),
          usb_(inventory, comPorts, portModel_), usbOutput_(usb_) {
        portModel_.setUsbOutput(&usbOutput_);
    }

    SerialControl& serial() { return serial_; }
    PortModel& portModel() { return portModel_; }
    UsbClass& usb() { return usb_; }
    UsbOutput& usbOutput() { return usbOutput_; }

private:
    SerialControl serial_;
    PortModel portModel_;
    UsbClass usb_;
    UsbOutput usbOutput_;
};

} // namespace posflash::testing
