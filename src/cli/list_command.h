#pragma once

#include "cli/cli_options.h"

namespace posflash {

class ComPortMap;
class TerminalOutput;
class UsbInventory;

// posflash-cli list [--json]: the printers' USB devices in reach now, with the COM number and
// node of each that presents a virtual COM port, and the COM-number map. Returns the exit code.
int ListCommand(const CliArguments& args, const UsbInventory& inventory, ComPortMap& comPorts,
                TerminalOutput& err);

} // namespace posflash
