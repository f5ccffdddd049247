// posflash-cli: the download engine without a window.
#include "base/config_paths.h"
#include "base/secure_start.h"
#include "cli/check_command.h"
#include "cli/cli_run.h"
#include "cli/download_command.h"
#include "cli/download_view.h"
#include "cli/history_command.h"
#include "cli/inboot_command.h"
#include "cli/list_command.h"
#include "cli/records_command.h"
#include "cli/report_command.h"
#include "ports/usb_inventory_linux.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLocale>

#include <algorithm>
#include <cstdio>

#include <unistd.h>

using namespace posflash;

namespace {

// How long held-back output may keep a finished run alive for a slow reader.
constexpr int kOutputDrainMs = 2000;

int run(const Cli& cli) {
    QCommandLineParser parser;
    parser.setApplicationDescription("Loads firmware into a receipt printer's boot loader.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument("command", "download, inboot, list, check, history or records");
    parser.addPositionalArgument("FILE", "the firmware (or, with --font, font) file");
    parser.addOption({"font", "download a font file (1024-byte frames)"});
    // As the window does: Chinese under a Chinese locale, else English.
    parser.addOption({"lang", "language of the texts: en or zh (the locale's when not given)",
                      "lang", QLocale::system().language() == QLocale::Chinese ? "zh" : "en"});
    parser.addOption({"port", "COM number (COM1..COM255) or device node", "port"});
    parser.addOption({"net", "reach the printer over the network"});
    parser.addOption({"ip", "the printer's IP address", "ip"});
    parser.addOption({"mac", "the printer's MAC address (XX-XX-XX-XX-XX-XX)", "mac"});
    parser.addOption({"via-app", "send a font through the running firmware's TCP connection"});
    parser.addOption({"all", "every printer's USB virtual COM port present now"});
    parser.addOption({"watch", "update every printer as it is plugged in, until Ctrl-C"});
    parser.addOption({"inboot", "with --watch, send a printer showing only its raw USB device "
                                "into its boot loader first"});
    parser.addOption({"usb-path",
                      "with --all or --watch, only the printer on this USB port "
                      "(as 1-1.2; repeatable)",
                      "path"});
    parser.addOption({"serial-prefix",
                      "with --all or --watch, only printers whose serial number starts so",
                      "prefix"});
    parser.addOption({"json", "events as JSON Lines on standard output"});
    parser.addOption({"retries", "try a printer's update again up to N more times", "N", "0"});
    parser.addOption({"operator", "who runs the downloads, for the history", "name"});
    parser.addOption({"station", "this station's name, for the history (the host name)", "name"});
    parser.addOption(
        {"label", "the unit's label, for the history (one for each printer)", "label"});
    parser.addOption({"limit", "history: the newest N downloads only", "N"});
    parser.addOption({"since", "history: from this local date or date and time on", "time"});
    parser.addOption({"until", "history: before this local date or date and time", "time"});
    parser.addOption({"outcome", "history: completed, failed, cancelled or refused", "outcome"});
    parser.addOption({"format", "history: table, json or csv", "format"});
    parser.addOption({"shift", "history: the production window's shift ID only", "ID"});
    parser.addOption({"color", "colour on a terminal: auto, always or never", "when", "auto"});
    parser.addOption({"link-timeout",
                      "with several printers, seconds a link may take before that printer fails",
                      "seconds", "120"});
    AddRecordsOptions(parser);
    if (!parser.parse(QCoreApplication::arguments()))
        return cli.usage(parser.errorText());
    const QStringList words = parser.positionalArguments();
    // "help COMMAND" and "COMMAND --help" alike; a command that does not exist is a usage error.
    const bool helpCommand = !words.isEmpty() && words[0] == "help";
    if (parser.isSet("help") || helpCommand) {
        const QStringList asked = helpCommand ? words.mid(1) : words.mid(0, 1);
        if (asked.size() > 1)
            return cli.usage(QStringLiteral("help takes one COMMAND"));
        if (asked.isEmpty()) {
            cli.out.write(GeneralHelp());
            return kExitCompleted;
        }
        const auto help = CommandHelp(asked[0]);
        if (!help)
            return cli.usage(QStringLiteral("unknown command %1").arg(asked[0]));
        cli.out.write(*help);
        return kExitCompleted;
    }
    if (parser.isSet("version")) {
        cli.out.write(
            QStringLiteral("posflash-cli %1\n").arg(QCoreApplication::applicationVersion()));
        return kExitCompleted;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return cli.usage({});
    if (parser.value("lang") != "en" && parser.value("lang") != "zh")
        return cli.usage("--lang is en or zh");
    if (!ParseColourChoice(parser.value("color")))
        return cli.usage("--color is auto, always or never");
    WarnOfPasswordInArguments(parser, cli.err);
    if (positional[0] == "download")
        return DownloadCommand(cli, parser);
    if (positional[0] == "inboot")
        return InbootCommand(cli, parser);
    if (positional[0] == "list") {
        ComPortMap comPorts(ComPortMapPath());
        return ListCommand(parser, UdevUsbInventory(), comPorts, cli.err);
    }
    if (positional[0] == "check") {
        if (positional.size() != 2)
            return cli.usage("check needs exactly one FILE");
        return CheckCommand(parser, cli.rawArguments, cli.err);
    }
    if (positional[0] == "history")
        return HistoryCommand(parser, cli.err);
    if (positional[0] == "records")
        return RecordsCommand(parser, cli.stopSignals, cli.out, cli.err, cli.syncThreads);
    return cli.usage(QStringLiteral("unknown command %1").arg(positional[0]));
}

} // namespace

int main(int argc, char** argv) {
    // Before anything of Qt reads the environment or the command line.
    if (const int refused = GuardSecureExecution("posflash-cli", argc, argv))
        return refused;
    // Before anything can start a thread, so that every thread holds the stop signals.
    ProcessSignals stopSignals;
    // Qt decodes the arguments lossily; the bytes are kept for file names that are not UTF-8.
    const std::vector<QByteArray> rawArguments(argv, argv + argc);
    if (IsReportCommand(rawArguments))
        return ReportMain(argc, argv, stopSignals);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("posflash-cli");
    QCoreApplication::setApplicationVersion(POSFLASH_VERSION);

    TerminalOutput out(STDOUT_FILENO);
    TerminalOutput err(STDERR_FILENO);
    // Before parsing, so that an argument the parser rejects is still answered in JSON.
    const bool json =
        std::find(rawArguments.begin() + 1, rawArguments.end(), "--json") != rawArguments.end();
    std::vector<std::function<bool()>> syncThreads;
    const int code = run(Cli{stopSignals, out, err, rawArguments, syncThreads, json});
    out.drain(stopSignals.fd(), kOutputDrainMs);
    err.drain(stopSignals.fd(), kOutputDrainMs);
    // A records pass still blocked in the network (or tearing down its connection) must not
    // meet the statics' teardown: everything of ours is written, so the process ends here.
    // What the pass did not mark sent goes with the next sync.
    if (std::any_of(syncThreads.begin(), syncThreads.end(),
                    [](const auto& alive) { return alive(); })) {
        std::fflush(nullptr);
        ::_exit(code);
    }
    return code;
}
