#pragma once

#include "cli/cli_run.h"

class QCommandLineParser;

namespace posflash {

// posflash-cli inboot: sends printers into their boot loader.
int InbootCommand(const Cli& cli, const QCommandLineParser& args);

} // namespace posflash
