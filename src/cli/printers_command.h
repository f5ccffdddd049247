#pragma once

#include "cli/cli_options.h"
#include "cli/cli_run.h"

namespace posflash {

// posflash-cli printers: each printer this PC reaches, whether its firmware answers and what
// it last received completely, as one JSON line (--json) or a line each.
int PrintersCommand(const Cli& cli, const CliArguments& args);

} // namespace posflash
