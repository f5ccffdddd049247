// posflash-cli: the download engine without a window.
#include "base/config_paths.h"
#include "base/ini_store.h"
#include "base/process_signals.h"
#include "base/secure_start.h"
#include "cli/check_command.h"
#include "cli/colour.h"
#include "cli/download_view.h"
#include "cli/help_texts.h"
#include "cli/history_command.h"
#include "cli/input_checks.h"
#include "cli/json_events.h"
#include "cli/list_command.h"
#include "cli/progress_view.h"
#include "cli/records_command.h"
#include "cli/terminal_output.h"
#include "cli/usage_hint.h"
#include "download/image_verdict.h"
#include "engine/engine.h"
#include "fleet/download_record.h"
#include "fleet/multi_download.h"
#include "fleet/target_filter.h"
#include "fleet/unit_run.h"
#include "fleet/watch_runner.h"
#include "ports/com_port_map.h"
#include "ports/hotplug_usb_inventory.h"
#include "ports/named_usb_device.h"
#include "ports/printer_usb.h"
#include "ports/usb_inventory_linux.h"
#include "protocol/address_text.h"
#include "protocol/image_file.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <unistd.h>

using namespace posflash;

namespace {

constexpr int kExitCompleted = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// How long held-back output may keep a finished run alive for a slow reader.
constexpr int kOutputDrainMs = 2000;

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
            static const QRegularExpression named(QStringLiteral("--([a-z][a-z-]*)"));
            QStringList known;
            for (const auto& m : named.globalMatch(UsageText()))
                known << m.captured(1);
            QString command;
            for (size_t i = 1; i < rawArguments.size() && command.isEmpty(); ++i)
                if (const QString word = QString::fromLocal8Bit(rawArguments[i]);
                    word != QLatin1String("help") && CommandHelp(word))
                    command = word;
            err.write(QStringLiteral("posflash-cli: %1\n").arg(why) +
                      UsageHint(why, known, command));
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

    // The image argument could not be opened (missing, a folder, a FIFO).
    int unopened(const Error& error, const CauseTexts& texts) const {
        return refuse(Outcome::Refused, Cause::FileNotOpen, error.text, texts);
    }
};

// Where the printer is, as the command line names it.
struct Target {
    bool network = false;
    QString ip;
    QString mac;
    QString device; // a device node the user named
    int comNumber = 0;
};

std::optional<Target> targetFrom(const QCommandLineParser& args, const QString& port, bool needMac,
                                 QString& why) {
    Target target;
    target.network = args.isSet("net");
    if (target.network) {
        if (args.isSet("port")) {
            why = "--net and --port exclude each other";
            return std::nullopt;
        }
        target.ip = args.value("ip");
        target.mac = args.value("mac");
        if (target.ip.isEmpty() || (needMac && target.mac.isEmpty())) {
            why = needMac ? "--net needs --ip and --mac" : "--net needs --ip";
            return std::nullopt;
        }
        if (!ParseIpv4Text(target.ip)) {
            why = QStringLiteral("--ip %1 is not an address like 192.168.1.100").arg(target.ip);
            return std::nullopt;
        }
        if (target.mac.isEmpty())
            target.mac = QStringLiteral("00-00-00-00-00-00"); // not used without BOOTP
        if (!ParseMacText(target.mac)) {
            why =
                QStringLiteral("--mac %1 is not an address like 00-11-22-AA-BB-CC").arg(target.mac);
            return std::nullopt;
        }
        return target;
    }
    if (port.isEmpty()) {
        why = "--port or --net is required";
        return std::nullopt;
    }
    if (const auto number = ParseComName(port)) {
        target.comNumber = *number;
    } else if (auto problem = SerialDeviceProblem(port)) {
        // A text that starts like a COM name was meant as one, unless a node has that name.
        if (port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
            problem = QStringLiteral("--port %1: COM numbers run from COM1 to COM255").arg(port);
        why = *problem;
        return std::nullopt;
    } else {
        // The serial layer reads a name without a leading slash as one under /dev.
        target.device = QFileInfo(port).absoluteFilePath();
    }
    return target;
}

// The printer as the engine's job names it.
DownloadTarget jobTarget(const Target& target) {
    DownloadTarget job;
    job.comNumber = target.comNumber;
    job.devicePath = target.device;
    job.ip = target.ip;
    job.mac = target.mac;
    return job;
}

// Who updates the units and where, and how often a unit is tried again: --operator,
// --station (the host name by default), --retries.
struct UnitChoices {
    QString operatorName;
    QString station;
    int retries = 0;
    QStringList labels; // in the order of the targets
};

constexpr int kMostRetries = 10;

std::optional<UnitChoices> unitChoices(const Cli& cli, const QCommandLineParser& args) {
    UnitChoices choices;
    choices.operatorName = args.value("operator");
    choices.station = args.isSet("station") ? args.value("station") : QSysInfo::machineHostName();
    choices.labels = args.values("label");
    if (args.isSet("retries")) {
        bool ok = false;
        choices.retries = args.value("retries").toInt(&ok);
        if (!ok || choices.retries < 0 || choices.retries > kMostRetries) {
            cli.usage(QStringLiteral("--retries is a number from 0 to %1").arg(kMostRetries));
            return std::nullopt;
        }
    }
    for (const QString& text : {choices.operatorName, choices.station})
        if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) {
            cli.usage(QStringLiteral("--operator and --station are one line each"));
            return std::nullopt;
        }
    return choices;
}

// Stop signals reach onStop with their count while this lives: the first cancels (the link
// wait ends at once, a frame in flight finishes its attempts, the closing frames go on), a
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

// A program the download would refuse is refused before any port is touched, for the same
// cause. A font has no required form: its refusals (empty, too large) come from the download.
std::optional<ImageRefusal> refusedImage(const Cli& cli, const Faces& faces, const QString& path,
                                         bool font, const CauseTexts& texts) {
    if (font)
        return std::nullopt;
    auto refused = JudgeImageFile(faces, path, ImageKind::Program);
    if (refused)
        cli.refuse(Outcome::Refused, refused->cause, texts.cause(refused->cause, 0, 0, 0), texts);
    return refused;
}

// Where the history's records went, said on standard error when it was not the database.
void reportHistory(const Cli& cli, DownloadHistory& history) {
    history.landed() = [&cli, journal = HistoryStore::journalPathOf(history.filePath())](
                           const HistoryWrite& write) {
        ReportHistoryWrite(write, journal, cli.err);
    };
}

// An image refused before any printer was touched goes to the history as the engine's own
// refusals do: a record for each printer named, or one without a printer when none is known
// yet. Returns once the records have landed.
void recordRefusedImage(const Cli& cli, std::vector<DownloadTarget> targets, const QByteArray& name,
                        bool font, const ImageRefusal& refusal, const UnitChoices& units) {
    DownloadHistory history(QStringLiteral("cli"));
    reportHistory(cli, history);
    DownloadResult result;
    result.outcome = Outcome::Refused;
    result.cause = refusal.cause;
    result.imageName = name;
    result.imagePath = QFile::decodeName(name);
    result.font = font;
    result.bytes = refusal.bytes;
    result.sha256 = refusal.sha256;
    result.startedAt = QDateTime::currentDateTime();
    if (targets.empty())
        targets.emplace_back();
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const DownloadTarget& target = targets[i];
        result.printer = {target.comNumber, target.devicePath, {}, {}, target.ip, target.mac};
        // A unit of one attempt: an image refused is never tried again.
        history.record(result, {units.operatorName,
                                units.station,
                                units.labels.value(static_cast<qsizetype>(i)),
                                QUuid::createUuid().toString(QUuid::WithoutBraces),
                                1,
                                {}});
    }
}

// Every printer's USB virtual COM port present now that the filter takes, by its device node.
std::vector<MultiTarget> presentComPrinters(const UsbTargetFilter& filter) {
    std::vector<MultiTarget> found;
    const UdevUsbInventory host;
    for (const UsbDeviceEntry& device :
         FilteredPrinters(host.devices().value_or(std::vector<UsbDeviceEntry>{}), filter, false))
        found.push_back({device.serialNode, device.serialNode, 0, {}, {}, {}});
    return found;
}

// Network printers named by --ip and --mac pairs, in order.
std::optional<std::vector<MultiTarget>> networkTargets(const Cli& cli,
                                                       const QCommandLineParser& args) {
    const QStringList ips = args.values("ip");
    const QStringList macs = args.values("mac");
    if (args.isSet("port") || args.isSet("all")) {
        cli.usage("--net excludes --port and --all");
        return std::nullopt;
    }
    if (ips.isEmpty() || ips.size() != macs.size()) {
        cli.usage("--net needs an --ip and a --mac for each printer");
        return std::nullopt;
    }
    std::vector<MultiTarget> targets;
    for (qsizetype i = 0; i < ips.size(); ++i) {
        QString why;
        if (!ParseIpv4Text(ips[i]))
            why = QStringLiteral("--ip %1 is not an address like 192.168.1.100").arg(ips[i]);
        else if (!ParseMacText(macs[i]))
            why = QStringLiteral("--mac %1 is not an address like 00-11-22-AA-BB-CC").arg(macs[i]);
        // One printer per address and per MAC: the replies are told apart by them.
        for (const MultiTarget& other : targets)
            if (ParseIpv4Text(other.ip) == ParseIpv4Text(ips[i]) ||
                ParseMacText(other.mac) == ParseMacText(macs[i]))
                why = QStringLiteral("--ip %1 --mac %2 names a printer twice").arg(ips[i], macs[i]);
        if (!why.isEmpty()) {
            cli.usage(why);
            return std::nullopt;
        }
        targets.push_back({ips[i] + QLatin1Char('/') + macs[i], {}, 0, ips[i], macs[i], {}});
    }
    return targets;
}

// How the views write standard output: --color decides with the terminal and NO_COLOR.
ViewStyle viewStyle(const QCommandLineParser& args, int linkTimeoutMs, const QString& imagePath) {
    ViewStyle style;
    style.terminal = ::isatty(STDOUT_FILENO) == 1;
    style.colour = UseColour(ParseColourChoice(args.value("color")).value_or(ColourChoice::Auto),
                             style.terminal, qgetenv("NO_COLOR"));
    style.columns = TerminalColumns(STDOUT_FILENO);
    style.linkTimeoutMs = linkTimeoutMs;
    style.imageBytes = QFileInfo(imagePath).size();
    return style;
}

// Several printers at once, each with an engine of its own; or one, reported as JSON.
int multiDownload(const Cli& cli, const QCommandLineParser& args, const QString& imageArgument) {
    if (args.isSet("via-app"))
        return cli.usage("--via-app takes one printer, without --all or --json");
    if (args.isSet("all") && args.isSet("port"))
        return cli.usage("--all and --port exclude each other");
    const bool watch = args.isSet("watch");
    if (watch && (args.isSet("all") || args.isSet("port") || args.isSet("net")))
        return cli.usage("--watch excludes --all, --port and --net");
    if (!watch && !args.isSet("all") && (args.isSet("usb-path") || args.isSet("serial-prefix")))
        return cli.usage("--usb-path and --serial-prefix go with --all or --watch");
    if (!watch && args.isSet("inboot"))
        return cli.usage("--inboot goes with --watch");
    const UsbTargetFilter filter{args.values("usb-path"), args.value("serial-prefix")};
    if (!args.isSet("net") && (args.isSet("ip") || args.isSet("mac")))
        return cli.usage("--ip and --mac go with --net");
    // Before the history, so that it goes after it: its last pass sends this run's rows.
    const DownloadRecords records(args, cli.err, cli.syncThreads);
    std::vector<MultiTarget> targets;
    if (args.isSet("net")) {
        auto named = networkTargets(cli, args);
        if (!named)
            return kExitUsage;
        targets = std::move(*named);
    }
    for (const QString& port : args.values("port")) {
        MultiTarget target{port, {}, 0, {}, {}, {}};
        if (const auto number = ParseComName(port)) {
            target.comNumber = *number;
            target.label = QStringLiteral("COM%1").arg(*number);
        } else if (auto problem = SerialDeviceProblem(port)) {
            if (port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
                problem =
                    QStringLiteral("--port %1: COM numbers run from COM1 to COM255").arg(port);
            return cli.usage(*problem);
        } else {
            // The serial layer reads a name without a leading slash as one under /dev.
            target.device = QFileInfo(port).absoluteFilePath();
        }
        for (const MultiTarget& other : targets)
            if (other.label == target.label)
                return cli.usage(QStringLiteral("--port %1 is named twice").arg(port));
        targets.push_back(target);
    }
    const auto units = unitChoices(cli, args);
    if (!units)
        return kExitUsage;
    if (!units->labels.isEmpty()) {
        // Printers found on the bus come in no order the user can match labels to.
        if (args.isSet("all") || watch)
            return cli.usage("--label goes with --port or --net, one for each printer in order");
        if (units->labels.size() != static_cast<qsizetype>(targets.size()))
            return cli.usage(QStringLiteral("--label is given %1 times for %2 printers")
                                 .arg(units->labels.size())
                                 .arg(targets.size()));
        for (std::size_t i = 0; i < targets.size(); ++i)
            targets[i].unitLabel = units->labels[static_cast<qsizetype>(i)];
    }
    std::optional<int> linkTimeoutMs;
    if (targets.size() > 1 || args.isSet("all") || watch || args.isSet("link-timeout")) {
        bool ok = false;
        const int seconds = args.value("link-timeout").toInt(&ok);
        if (!ok || seconds < 1 || seconds > 86400)
            return cli.usage("--link-timeout is a number of seconds from 1 to 86400");
        linkTimeoutMs = seconds * 1000;
    }
    std::vector<DownloadTarget> named;
    for (const MultiTarget& target : targets)
        named.push_back({target.comNumber, target.device, {}, target.ip, target.mac});
    Faces faces;
    faces.setUseEnglish(args.value("lang") == "en");
    const CauseTexts texts(faces);
    const bool font = args.isSet("font");
    const auto image = ImageArgument::open(imageArgument, cli.rawArguments);
    if (!image) {
        const int code = cli.unopened(image.error(), texts);
        if (const auto name = ImageArgument::nameOf(imageArgument, cli.rawArguments))
            recordRefusedImage(cli, named, *name, font, {Cause::FileNotOpen, {}, -1, {}}, *units);
        return code;
    }
    if (const auto refused = refusedImage(cli, faces, image->path(), font, texts)) {
        recordRefusedImage(cli, named, image->name(), font, *refused, *units);
        return kExitUsage;
    }
    if (args.isSet("all")) {
        targets = presentComPrinters(filter);
        if (targets.empty())
            return cli.refuse(Outcome::Failed, Cause::PrinterAbsent,
                              texts.own(QT_TRANSLATE_NOOP(
                                  "CliTexts", "no printer with a USB virtual COM port is present")),
                              texts);
    }

    const MultiSettings settings{image->path(),
                                 image->name(),
                                 font,
                                 args.value("lang") == "en",
                                 linkTimeoutMs,
                                 units->retries,
                                 units->operatorName,
                                 units->station};
    std::unique_ptr<MultiEventSink> view;
    if (watch)
        targets.clear(); // the printers come as they are plugged in
    const int timeoutMs = linkTimeoutMs.value_or(0);
    if (args.isSet("json"))
        view = std::make_unique<JsonEventView>(cli.out, cli.err, faces, targets, timeoutMs, watch);
    else
        view = std::make_unique<ProgressView>(cli.out, cli.err, faces, targets,
                                              viewStyle(args, timeoutMs, image->path()), watch);
    ComPortMap comPorts = RunPortMap(ComPortMapPath());
    // A COM number with no device behind it is refused before any printer starts, as a single
    // download refuses it: one answer for a run of one, of several, with --json or without.
    for (const MultiTarget& target : targets)
        if (target.comNumber > 0 && comPorts.devicePath(target.comNumber).isEmpty())
            return cli.refuse(Outcome::Refused, Cause::PortMissing,
                              texts.cause(Cause::PortMissing, 0, 0, 0) +
                                  QStringLiteral(" (COM%1)").arg(target.comNumber),
                              texts);
    DownloadHistory history(QStringLiteral("cli"));
    reportHistory(cli, history);
    QEventLoop loop;
    int code = kExitFailed;
    const auto ended = [&loop, &code](int exitCode) {
        code = exitCode;
        loop.quit();
    };
    if (watch) {
        WatchRunner run(
            settings, filter, args.isSet("inboot"), comPorts, *view, &history,
            [&cli](const QString& usbPath, bool sent) {
                // Standard error: with --json, standard output carries the events.
                cli.err.write(
                    QStringLiteral("posflash-cli: the printer at USB %1 %2\n")
                        .arg(usbPath, sent ? QStringLiteral("was sent into its boot loader")
                                           : QStringLiteral("did not take the boot "
                                                            "loader command")));
            });
        const StopSignals stops(cli, [&run](int) { run.stop(); });
        if (cli.stopSignals.arrived())
            run.stop();
        run.start(ended);
        loop.exec();
        return code;
    }
    const UdevUsbInventory host;
    MultiDownload run(targets, settings, comPorts, host, *view, &history);
    const StopSignals stops(cli, [&](int count) {
        // Standard error: with --json, standard output carries the events only.
        if (count == 1 && run.anyClosing())
            cli.err.write(texts.own(QT_TRANSLATE_NOOP(
                              "CliTexts", "finishing the closing frames; a second Ctrl-C stops at "
                                          "once, which may leave a partial image in the printer")) +
                          QLatin1Char('\n'));
        else if (count == 2)
            cli.err.write(
                texts.own(QT_TRANSLATE_NOOP(
                    "CliTexts", "warning: stopping at once; the printer may hold a partial "
                                "image")) +
                QLatin1Char('\n'));
        run.stop();
    });
    if (cli.stopSignals.arrived())
        run.stop();
    run.start(ended);
    loop.exec();
    return code;
}

std::optional<int> singleLinkTimeout(const Cli& cli, const QCommandLineParser& args) {
    if (!args.isSet("link-timeout"))
        return std::nullopt; // as the window: until the printer answers or a stop
    bool ok = false;
    const int seconds = args.value("link-timeout").toInt(&ok);
    if (!ok || seconds < 1 || seconds > 86400) {
        cli.usage("--link-timeout is a number of seconds from 1 to 86400");
        return -1;
    }
    return seconds * 1000;
}

int download(const Cli& cli, const QCommandLineParser& args) {
    const QStringList positional = args.positionalArguments();
    if (positional.size() != 2)
        return cli.usage("download needs exactly one FILE");
    if (args.isSet("all") || args.isSet("watch") || args.isSet("json") ||
        args.values("port").size() > 1 || args.values("ip").size() > 1)
        return multiDownload(cli, args, positional[1]);
    const bool font = args.isSet("font");
    if (args.isSet("via-app") && !(font && args.isSet("net")))
        return cli.usage("--via-app goes with --font --net");
    QString why;
    const auto target = targetFrom(args, args.value("port"), true, why);
    if (!target)
        return cli.usage(why);
    const std::optional<int> linkTimeoutMs = singleLinkTimeout(cli, args);
    if (linkTimeoutMs == -1)
        return kExitUsage;
    const auto units = unitChoices(cli, args);
    if (!units)
        return kExitUsage;
    if (units->labels.size() > 1)
        return cli.usage(
            QStringLiteral("--label is given %1 times for 1 printer").arg(units->labels.size()));
    // Before the history, so that it goes after it: its last pass sends this run's rows.
    const DownloadRecords records(args, cli.err, cli.syncThreads);
    Faces faces;
    faces.setUseEnglish(args.value("lang") == "en");
    const CauseTexts texts(faces);
    const auto image = ImageArgument::open(positional[1], cli.rawArguments);
    if (!image) {
        const int code = cli.unopened(image.error(), texts);
        if (const auto name = ImageArgument::nameOf(positional[1], cli.rawArguments))
            recordRefusedImage(cli, {jobTarget(*target)}, *name, font,
                               {Cause::FileNotOpen, {}, -1, {}}, *units);
        return code;
    }
    if (const auto refused = refusedImage(cli, faces, image->path(), font, texts)) {
        recordRefusedImage(cli, {jobTarget(*target)}, image->name(), font, *refused, *units);
        return kExitUsage;
    }

    DownloadJob job;
    job.target = jobTarget(*target);
    job.imagePath = image->path();
    job.imageName = image->name();
    job.kind = font ? ImageKind::Font : ImageKind::Program;
    job.route = RouteFor(target->network, job.kind, !args.isSet("via-app"));
    job.linkTimeoutMs = linkTimeoutMs;

    ComPortMap comPorts = RunPortMap(ComPortMapPath());
    // A COM number with no device behind it is refused like a device path that is missing.
    if (!target->network && target->device.isEmpty() &&
        comPorts.devicePath(target->comNumber).isEmpty())
        return cli.refuse(Outcome::Refused, Cause::PortMissing,
                          texts.cause(Cause::PortMissing, 0, 0, 0) +
                              QStringLiteral(" (COM%1)").arg(target->comNumber),
                          texts);
    const UdevUsbInventory host;
    Engine engine(comPorts, host);
    engine.faces().setUseEnglish(faces.UseEnglish());
    DownloadHistory history(QStringLiteral("cli"));
    reportHistory(cli, history);
    const QString shown = target->network ? target->ip
                          : target->device.isEmpty()
                              ? QStringLiteral("COM%1").arg(target->comNumber)
                              : target->device;
    DownloadView view(cli.out, cli.err, texts, shown,
                      viewStyle(args, linkTimeoutMs.value_or(0), image->path()),
                      job.route == Route::Com, FrameDataSizeOf(job.kind));
    UnitRun unit(engine, &history, view);
    QEventLoop loop;
    // From the event loop, so the engine has let go of the finished run first.
    view.ended = [&loop] {
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    };
    const StopSignals stops(cli, [&unit, &view](int count) {
        if (count == 1) {
            view.cancelling();
            unit.cancel();
        } else {
            view.stopping();
            unit.stop();
        }
    });
    if (cli.stopSignals.arrived())
        return kExitFailed; // stopped before the download began
    unit.start(job, {units->operatorName, units->station, units->labels.value(0), {}},
               units->retries);
    if (!view.result())
        loop.exec();
    switch (view.result() ? view.result()->outcome : Outcome::Failed) {
    case Outcome::Completed:
        return kExitCompleted;
    case Outcome::Refused:
        return kExitUsage;
    default:
        return kExitFailed;
    }
}

// Sends one printer the boot-loader command; whether it was sent.
bool sendBootCommand(const Cli& cli, const Target& target, const CauseTexts& texts, bool english) {
    ComPortMap comPorts = RunPortMap(ComPortMapPath());
    HotplugUsbInventory host; // the wait for the printer to come back follows device events
    const NamedUsbDeviceInventory named(host, target.device);
    Engine engine(comPorts,
                  target.device.isEmpty() ? static_cast<const UsbInventory&>(host) : named);
    engine.faces().setUseEnglish(english);
    engine.watchDevices(&host.monitor());
    QEventLoop loop;
    bool sent = false;
    QObject::connect(&engine.bootCommand(), &BootCommand::finished, &loop, [&](bool wasSent) {
        sent = wasSent;
        loop.quit();
    });
    const StopSignals stops(cli, [&engine](int) { engine.stop(); });
    if (cli.stopSignals.arrived())
        return false;
    const QString shown = target.network            ? target.ip
                          : target.device.isEmpty() ? QStringLiteral("COM%1").arg(target.comNumber)
                                                    : target.device;
    if (!engine.sendBootCommand({target.network, target.ip, false}))
        return false;
    loop.exec();
    QString said =
        sent
            ? texts.own(QT_TRANSLATE_NOOP("CliTexts", "the boot-loader command was sent"))
            : texts.own(QT_TRANSLATE_NOOP("CliTexts", "the boot-loader command could not be sent"));
    if (const auto& reset = engine.bootCommand().failure())
        said += QStringLiteral(": ") +
                texts.own(QT_TRANSLATE_NOOP(
                    "CliTexts", "the printer reset the connection before it took the command")) +
                QStringLiteral(" (%1)").arg(reset->detail);
    (sent ? cli.out : cli.err).write(shown + QStringLiteral(": ") + said + QLatin1Char('\n'));
    return sent;
}

int inboot(const Cli& cli, const QCommandLineParser& args) {
    if (args.positionalArguments().size() != 1)
        return cli.usage("inboot takes no FILE");
    // Several printers one after another: the command takes about a second each.
    const QStringList ports = args.isSet("net") ? QStringList{QString()} : args.values("port");
    std::vector<Target> targets;
    for (const QString& port : ports.isEmpty() ? QStringList{QString()} : ports) {
        QString why;
        const auto target = targetFrom(args, port, false, why);
        if (!target)
            return cli.usage(why);
        targets.push_back(*target);
    }
    if (args.isSet("net")) {
        // Every --ip, each checked as the first one was.
        targets.clear();
        for (const QString& ip : args.values("ip")) {
            if (!ParseIpv4Text(ip))
                return cli.usage(
                    QStringLiteral("--ip %1 is not an address like 192.168.1.100").arg(ip));
            Target target;
            target.network = true;
            target.ip = ip;
            targets.push_back(target);
        }
    }
    Faces faces;
    faces.setUseEnglish(args.value("lang") == "en");
    const CauseTexts texts(faces);
    int code = kExitCompleted;
    for (const Target& target : targets) {
        if (cli.stopSignals.arrived())
            return kExitFailed;
        if (!sendBootCommand(cli, target, texts, faces.UseEnglish()))
            code = kExitFailed;
    }
    return code;
}

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
        return download(cli, parser);
    if (positional[0] == "inboot")
        return inboot(cli, parser);
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
