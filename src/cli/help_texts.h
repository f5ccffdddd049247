#pragma once

#include <QString>

#include <optional>

namespace posflash {

// Every command's synopsis, as a usage error shows it.
QString UsageText();

// posflash-cli help (and --help without a command): the commands and how to learn more.
QString GeneralHelp();

// posflash-cli help COMMAND, COMMAND --help: its synopsis and every option it takes; nothing
// for a command that does not exist.
std::optional<QString> CommandHelp(const QString& command);

} // namespace posflash
