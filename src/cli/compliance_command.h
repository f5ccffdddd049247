#pragma once

#include "cli/cli_options.h"

namespace posflash {

class TerminalOutput;

// posflash-cli report --compliance NAME --central: which printer of the line's records runs the
// image of the recipe NAME, per store and in all, as HTML, CSV or JSON. Returns the exit code.
int ComplianceCommand(const CliArguments& args, TerminalOutput& out, TerminalOutput& err);

} // namespace posflash
