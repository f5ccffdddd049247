#pragma once

#include "line/line_command_line.h"

namespace posflash {

class HotplugUsbInventory;
class ProcessSignals;

// The production window's part of the program: the start panel unless the command line
// started the shift, then the window until it is left. A stop signal closes the panel, or
// leaves the window as its close button does when the operator says yes. Returns the exit code.
int RunProductionLine(const LineStart& start, HotplugUsbInventory& inventory,
                      ProcessSignals& stops);

} // namespace posflash
