#pragma once

#include "base/process_signals.h"
#include "cli/cli_options.h"
#include "cli/exit_codes.h"
#include "cli/help_texts.h"
#include "cli/json_events.h"
#include "cli/terminal_output.h"
#include "cli/usage_hint.h"
#include "download/download_result.h"
#include "unit/cause_texts.h"
#include "unit/printer_parse.h"

#include <QByteArray>

#include <functional>
#include <vector>

namespace posflash {

// What one run of the program shares: its signals, its output, its arguments as received.
struct Cli {
    ProcessSignals& stopSignals;
    TerminalOutput& out;
    TerminalOutput& err;
    const std::vector<QByteArray>& rawArguments;
    // The records sync's threads, which may still run when the command is done.
    std::vector<std::function<bool()>>& syncThreads;
    // --json was asked for: whatever ends the run says so in an object on standard output too.
    bool json = false;

    // No command: the usage of every command. A usage error: its cause, the option it may
    // have meant, and where the command's usage is.
    int usage(const QString& why) const {
        if (why.isEmpty()) {
            err.write(UsageText());
        } else {
            QString command;
            for (size_t i = 1; i < rawArguments.size() && command.isEmpty(); ++i)
                if (const QString word = QString::fromLocal8Bit(rawArguments[i]);
                    word != QLatin1String("help") && CommandHelp(word))
                    command = word;
            QStringList commands;
            for (const CliCommand& c : CliCommands())
                commands << QLatin1String(c.name);
            err.write(QStringLiteral("posflash-cli: %1\n").arg(why) +
                      UsageHint(why, HintedOptionNames(), command, commands));
        }
        if (json)
            out.write(JsonErrorLine(Outcome::Refused, QStringLiteral("usage"),
                                    why.isEmpty() ? QStringLiteral("no command given") : why, {},
                                    kExitUsage));
        return kExitUsage;
    }

    // A run that ends before any download: why, with its cause code and what to do.
    int refuse(Outcome outcome, Cause cause, const QString& text, const CauseTexts& texts) const {
        const int code = outcome == Outcome::Refused ? kExitUsage : kExitFailed;
        QString said = texts.outcome(outcome) + QStringLiteral(": ") + CauseName(cause) +
                       QStringLiteral(" — ") + text + QLatin1Char('\n');
        if (const QString remedy = texts.remedyLine(cause); !remedy.isEmpty())
            said += remedy + QLatin1Char('\n');
        err.write(said);
        if (json)
            out.write(JsonErrorLine(outcome, CauseName(cause), text, texts.remedy(cause), code));
        return code;
    }

    // A port that cannot be a printer's (RefusedPort): refused, with no history row, since no
    // printer's download began.
    int refusePort(const PortRefusal& port, const CauseTexts& texts) const {
        return refuse(Outcome::Refused, port.cause,
                      texts.cause(port.cause, 0, 0, 0) + QStringLiteral(" (%1)").arg(port.shown),
                      texts);
    }

    // The image argument could not be opened (missing, a folder, a FIFO).
    int unopened(const Error& error, const CauseTexts& texts) const {
        return refuse(Outcome::Refused, Cause::FileNotOpen, error.text, texts);
    }
};

// Stop signals reach onStop with their count while this lives: the first cancels (the link
// wait ends at once, a frame in flight finishes its resends, the closing frames go on), a
// second stops at once.
class StopSignals {
public:
    StopSignals(const Cli& cli, std::function<void(int count)> onStop) : cli_(cli) {
        cli.stopSignals.watch(
            [count = 0, onStop = std::move(onStop)]() mutable { onStop(++count); });
    }
    ~StopSignals() { cli_.stopSignals.watch(nullptr); }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    const Cli& cli_;
};

} // namespace posflash
