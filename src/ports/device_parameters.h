#pragma once

#include "base/error.h"

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
// Names match without regard to case. The value is cut at a NUL character and to
// kRegValueMaxChars; the error is ENOENT for an unknown name or a device without that node, or
// the COM-number map's own when it could give no number.
Result<QString> ReadDeviceParameter(const UsbDeviceEntry& device, const QString& valueName,
                                    ComPortMap& comPorts);

} // namespace posflash
