#pragma once

#include "cli/cli_options.h"

namespace posflash {

class TerminalOutput;

// posflash-cli report: a shift report of the history, or with --central of the line's records,
// as HTML, PDF or CSV. The PDF draws text, so the program runs it under Qt's GUI part
// (offscreen; see ReportNeedsGui). Returns the exit code.
int ReportCommand(const CliArguments& args, TerminalOutput& out, TerminalOutput& err);

} // namespace posflash
