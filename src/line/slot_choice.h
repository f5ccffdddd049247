#pragma once

#include "line/line_settings.h"
#include "unit/printer_parse.h"

#include <QString>

#include <vector>

namespace posflash {

// How a slot sees its next unit: a USB slot when one printer is unplugged and the next plugged
// in; a COM slot when the operator presses Next or scans a label; a network slot when a new
// MAC comes from a label or the operator.
enum class SlotKind { Usb, Com, Network };

struct SlotChoice {
    SlotKind kind = SlotKind::Com;
    QString place; // as the settings name it: the USB path, the device node or "COMn", the IP
    // The printer it names; a network slot's MAC is the first unit's, when known.
    Printer printer;
    // Why the settings' entry names no printer (an address that is none): the slot waits for
    // its set-up, and no unit is counted on it.
    QString problem;
};

// The slots of a shift, numbered from 1 in this order: USB, COM, network.
std::vector<SlotChoice> SlotsOf(const LineSettings& settings);

// "USB 1-1.2", "/dev/ttyUSB0", "COM3", "192.168.1.50".
QString SlotTitle(const SlotChoice& slot);

} // namespace posflash
