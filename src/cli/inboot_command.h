#pragma once

#include "cli/cli_options.h"

#include "cli/cli_run.h"

namespace posflash {

// posflash-cli inboot: sends printers into their boot loader.
int InbootCommand(const Cli& cli, const CliArguments& args);

} // namespace posflash
