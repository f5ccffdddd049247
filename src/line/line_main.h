#pragma once

#include "line/line_command_line.h"

namespace posflash {

class ProcessSignals;

// The production window's part of the program, once the application object is made and the
// stop signals held: the start panel unless the command line started the shift, then the
// window until it is left. A stop signal closes the panel, or leaves the window as its close
// button does when the operator says yes. With --print-slot-codes, only the page. Returns the
// exit code; 2 when the options are not valid.
int RunProductionLine(const QCommandLineParser& parser, const LineCommandLine& options,
                      ProcessSignals& stops);

// The page of slot codes alone, with no display: it may be made on any machine. Returns the
// exit code.
int PrintSlotCodesPage(const QCommandLineParser& parser, const LineCommandLine& options);

} // namespace posflash
