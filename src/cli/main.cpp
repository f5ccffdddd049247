// posflash-cli: the download engine without a window.
#include "base/config_paths.h"
#include "base/runtime_dir.h"
#include "base/secure_start.h"
#include "cli/check_command.h"
#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "cli/download_command.h"
#include "cli/download_view.h"
#include "cli/history_command.h"
#include "cli/inboot_command.h"
#include "cli/list_command.h"
#include "cli/printers_command.h"
#include "cli/recipe_command.h"
#include "cli/records_command.h"
#include "cli/report_command.h"
#include "ports/usb_inventory_linux.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <memory>

#include <unistd.h>

using namespace posflash;

namespace {

// How long held-back output may keep a finished run alive for a slow reader.
constexpr int kOutputDrainMs = 2000;

// The commands as main runs them; a command the reader knows but this does not is unknown.
struct CommandRun {
    const char* name;
    int (*run)(const Cli& cli, const CliArguments& args);
};

const CommandRun kCommandRuns[] = {
    {"download", DownloadCommand},
    {"printers", PrintersCommand},
    {"inboot", InbootCommand},
    {"list",
     [](const Cli& cli, const CliArguments& args) {
         ComPortMap comPorts(ComPortMapPath());
         return ListCommand(args, UdevUsbInventory(), comPorts, cli.err);
     }},
    {"check",
     [](const Cli& cli, const CliArguments& args) {
         if (args.positionalArguments().size() != 2)
             return cli.usage("check needs exactly one FILE");
         return CheckCommand(args, cli.rawArguments, cli.err);
     }},
    {"history",
     [](const Cli& cli, const CliArguments& args) { return HistoryCommand(args, cli.err); }},
    {"report", [](const Cli& cli,
                  const CliArguments& args) { return ReportCommand(args, cli.out, cli.err); }},
    {"recipe",
     [](const Cli& cli, const CliArguments& args) {
         QString out, err;
         int code = 0;
         {
             QTextStream o(&out), e(&err);
             code = RunRecipeCommand(args, o, e,
                                     RecipeCommandEnv::Station(args.value("lang") == "en"));
         }
         cli.out.write(out);
         cli.err.write(err);
         return code;
     }},
    {"records",
     [](const Cli& cli, const CliArguments& args) {
         return RecordsCommand(args, cli.stopSignals, cli.out, cli.err, cli.syncThreads);
     }},
};

// As the window does: Chinese under a Chinese locale, else English.
QString localeLanguage() {
    return QLocale::system().language() == QLocale::Chinese ? QStringLiteral("zh")
                                                            : QStringLiteral("en");
}

// A report draws text for its PDF, which needs Qt's GUI part: offscreen, unless the user chose
// a platform. Every other command runs without it.
std::unique_ptr<QCoreApplication> applicationFor(int& argc, char** argv,
                                                 const std::vector<QByteArray>& rawArguments) {
    QStringList words;
    for (const QByteArray& argument : rawArguments)
        words << QString::fromLocal8Bit(argument);
    const Result<CliRequest> read = ReadCliArguments(words, localeLanguage());
    if (read && read->ask == CliRequest::Ask::Run &&
        read->args.positionalArguments().value(0) == QLatin1String("report")) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return std::make_unique<QGuiApplication>(argc, argv);
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

int run(const Cli& cli) {
    const Result<CliRequest> read =
        ReadCliArguments(QCoreApplication::arguments(), localeLanguage());
    if (!read)
        return cli.usage(read.error().text);
    switch (read->ask) {
    case CliRequest::Ask::Help:
        cli.out.write(read->helpTopic.isEmpty() ? GeneralHelp() : *CommandHelp(read->helpTopic));
        return kExitCompleted;
    case CliRequest::Ask::Version:
        cli.out.write(
            QStringLiteral("posflash-cli %1\n").arg(QCoreApplication::applicationVersion()));
        return kExitCompleted;
    case CliRequest::Ask::Run:
        break;
    }
    const CliArguments& args = read->args;
    WarnOfPasswordInArguments(args, cli.err);
    const QString command = args.positionalArguments()[0];
    for (const CommandRun& c : kCommandRuns)
        if (command == QLatin1String(c.name))
            return c.run(cli, args);
    return cli.usage(QStringLiteral("unknown command %1").arg(command));
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
    // Before Qt looks for it: a report's GUI part does.
    SetRuntimeDirWhereUnset();
    // Qt's own event dispatcher rather than glib's: it costs less per wake-up (every frame is
    // one), and nothing here needs glib's.
    qputenv("QT_NO_GLIB", "1");
    const std::unique_ptr<QCoreApplication> app = applicationFor(argc, argv, rawArguments);
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
