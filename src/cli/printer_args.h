#pragma once

#include "cli/cli_options.h"

#include "download/download_job.h"

#include <QString>

#include <optional>

namespace posflash {

// Where the printer is, as the command line names it.
struct Target {
    bool network = false;
    QString ip;
    QString mac;
    QString device; // a device node the user named
    int comNumber = 0;
};

// The printer the options name: --net with --ip (and --mac when needed), else port; why says
// what is wrong when there is none.
std::optional<Target> TargetFrom(const CliArguments& args, const QString& port, bool needMac,
                                 QString& why);
DownloadTarget JobTarget(const Target& target);

} // namespace posflash
