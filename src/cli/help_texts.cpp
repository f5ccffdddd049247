#include "cli/help_texts.h"

#include "base/retry_limit.h"
#include "cli/cli_options.h"

namespace posflash {

namespace {

// Option rows: the left column 21 wide after two spaces (at least two spaces before the text),
// the text's later lines under its first.
QString rowsOf(const std::vector<HelpRow>& rows) {
    QString text;
    for (const HelpRow& row : rows) {
        const QString shown = QString::fromLatin1(row.shown);
        text += QStringLiteral("  ") + shown.leftJustified(19) + QStringLiteral("  ") +
                QString::fromLatin1(row.text)
                    .replace(QLatin1Char('\n'), QStringLiteral("\n") + QString(23, ' '))
                    .replace(QLatin1String("{most retries}"), QString::number(kMostRetries)) +
                QLatin1Char('\n');
    }
    return text;
}

QString helpOf(const CliCommand& command) {
    QString text = QString::fromLatin1(command.synopsis) + QLatin1Char('\n') +
                   QString::fromLatin1(command.about);
    for (const HelpSection& section : command.sections) {
        text += QLatin1Char('\n');
        if (section.heading)
            text += QString::fromLatin1(section.heading) + QLatin1Char('\n');
        text += rowsOf(section.rows);
    }
    text += QString::fromLatin1(command.closing);
    return command.generalExitStatus ? text + QString::fromLatin1(kGeneralExitStatus) : text;
}

} // namespace

QString UsageText() {
    QString text;
    for (const CliCommand& command : CliCommands()) {
        QString synopsis =
            QString::fromLatin1(command.inUsage ? command.inUsage : command.synopsis);
        if (!text.isEmpty())
            synopsis.replace(QLatin1String("usage: "), QLatin1String("       "));
        text += synopsis;
    }
    return text;
}

QString GeneralHelp() {
    QString commands;
    for (const CliCommand& command : CliCommands())
        commands += QStringLiteral("  ") + QString::fromLatin1(command.name).leftJustified(9) +
                    QStringLiteral("  ") + QString::fromLatin1(command.summary) + QLatin1Char('\n');
    return QStringLiteral("usage: posflash-cli COMMAND [OPTIONS]\n"
                          "\n"
                          "Loads firmware and fonts into receipt printers' boot loaders.\n"
                          "\n"
                          "commands:\n") +
           commands +
           QStringLiteral(
               "\n"
               "  -h, --help     this help; after a command, that command's\n"
               "  -v, --version  the version\n"
               "\n"
               "'posflash-cli help COMMAND' or 'posflash-cli COMMAND --help' shows a command's\n"
               "options.\n") +
           QString::fromLatin1(kGeneralExitStatus);
}

std::optional<QString> CommandHelp(const QString& name) {
    if (const CliCommand* command = FindCliCommand(name))
        return helpOf(*command);
    return std::nullopt;
}

} // namespace posflash
