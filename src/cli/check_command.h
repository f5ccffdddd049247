#pragma once

#include "cli/cli_options.h"

#include <QByteArray>

#include <vector>

namespace posflash {

class TerminalOutput;

// posflash-cli check [--font] [--json] FILE: what a download of FILE would send (size, kind,
// data frames, trailer sum, CRC-16) or why it would be refused, with the download's own
// reasons. Exit 0 when it would be sent, 2 when refused.
int CheckCommand(const CliArguments& args, const std::vector<QByteArray>& rawArguments,
                 TerminalOutput& err);

} // namespace posflash
