#pragma once

#include "line/line_command_line.h"

namespace posflash {

class HotplugUsbInventory;

// The production window's part of the program: the start panel unless the command line
// started the shift, then the window until it is left. Returns the exit code.
int RunProductionLine(const LineStart& start, HotplugUsbInventory& inventory);

} // namespace posflash
