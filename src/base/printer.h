#pragma once

#include <QString>

namespace posflash {

// One printer, the same value from the word that names it to the record that remembers it:
// where it is reached and what is known of it. A front end fills what the user named (a COM
// number, a device node, a USB bus path, or an IP address with its MAC); aiming at a serial
// line adds the node, its COM number and the USB device's serial number as the host has them.
struct Printer {
    enum class Medium { Com, Device, Usb, Network };

    // Defaulted, so that a printer made from its first fields alone is complete.
    int comNumber = 0;
    QString node{};      // the serial device node
    QString usbPath{};   // the USB bus path ("1-1.2")
    QString usbSerial{}; // the USB device's serial number, once known
    // The address in decimal parts, made from the parsed bytes ("010.077.000.002" is
    // "10.77.0.2"), so that whoever builds a host address from it gets the printer meant.
    QString ip{};
    QString mac{}; // as given and checked; empty while a unit's MAC is not known yet

    // How it is reached: by its address, else on its USB bus path, else on a serial line known
    // by its COM number, else on a node that has no number yet.
    Medium medium() const {
        if (!ip.isEmpty())
            return Medium::Network;
        if (!usbPath.isEmpty())
            return Medium::Usb;
        return comNumber > 0 ? Medium::Com : Medium::Device;
    }
    // A device rather than a bare COM number.
    bool namesDevice() const { return !node.isEmpty() || !usbPath.isEmpty(); }

    bool operator==(const Printer&) const = default;
};

} // namespace posflash
