#pragma once

#include "cli/cli_run.h"

namespace posflash {

// posflash-cli download: one printer, several, all present, or each as it is plugged in.
int DownloadCommand(const Cli& cli, const CliArguments& args);

} // namespace posflash
