#pragma once

#include <QString>
#include <QStringList>

namespace posflash {

// The option meant by an unknown one: the known name nearest to it (at most two letters
// added, dropped or changed, or the only one it begins), else empty. Names without dashes.
QString NearestOption(const QString& unknown, const QStringList& known);

// What a usage error says under its cause: the option or the command it may have meant (among
// known options and commands), and where the command's usage is ("posflash-cli help
// download"). command is empty when none was given or it is not one of the commands.
QString UsageHint(const QString& why, const QStringList& known, const QString& command,
                  const QStringList& commands = {});

} // namespace posflash
