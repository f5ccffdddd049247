#pragma once

#include "cli/cli_options.h"
#include "fleet/multi_download.h"

#include <QString>

#include <vector>

namespace posflash {

// The printer the options name for one printer: --net with --ip (and --mac when needed), else
// port.
Result<Printer> TargetFrom(const CliArguments& args, const QString& port, bool needMac);

// The printers of a run with several: the --net --ip --mac pairs, then each --port, in their
// order; each printer named once.
Result<std::vector<MultiTarget>> NamedTargets(const CliArguments& args);

} // namespace posflash
