#pragma once

#include "ports/usb_inventory.h"

#include <QString>

namespace posflash {

class ComPortMap;

// A device parameter comes back cut to this many characters, so callers can keep it in a
// bounded text.
inline constexpr int kRegValueMaxChars = 255;

// Reads one parameter of a USB device, the two the discovery needs, from the inventory and the
// COM-number map:
//   "PortName"     "COM<n>", n being the COM number of the device's serial node; a node seen for
//                  the first time gets the next free number in the COM-number map
//   "SymbolicName" the node raw output is written to
// Names match without regard to case. Returns 0 and sets value, cut at a NUL character and to
// kRegValueMaxChars; or an errno code with value untouched: ENOENT for an unknown name or a
// device without that node, EIO when the COM-number map could give no number.
int ReadDeviceParameter(const UsbDeviceEntry& device, const QString& valueName, QString& value,
                        ComPortMap& comPorts);

} // namespace posflash
