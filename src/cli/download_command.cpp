#include "cli/download_command.h"

#include "base/config_paths.h"
#include "base/faces.h"
#include "base/ini_store.h"
#include "base/process_signals.h"
#include "base/retry_limit.h"
#include "base/secure_start.h"
#include "cli/colour.h"
#include "cli/download_view.h"
#include "cli/fleet_download.h"
#include "cli/help_texts.h"
#include "cli/history_command.h"
#include "cli/input_checks.h"
#include "cli/json_events.h"
#include "cli/printer_args.h"
#include "cli/records_command.h"
#include "cli/terminal_output.h"
#include "cli/usage_hint.h"
#include "download/image_verdict.h"
#include "download/refused_download.h"
#include "fleet/multi_download.h"
#include "fleet/target_filter.h"
#include "fleet/watch_runner.h"
#include "ports/com_port_map.h"
#include "ports/hotplug_usb_inventory.h"
#include "ports/named_usb_device.h"
#include "ports/printer_usb.h"
#include "ports/usb_inventory_linux.h"
#include "protocol/address_text.h"
#include "recipe/recipe_texts.h"
#include "recipe/trusted_keys.h"
#include "unit/download_history.h"
#include "unit/recipe_gate.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QSysInfo>
#include <QUuid>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <variant>
#include <vector>

namespace posflash {
namespace {

// Who updates the units and where, and how often a unit is tried again: --operator,
// --station (the host name by default), --retries.
struct UnitChoices {
    QString operatorName;
    QString station;
    int retries = 0;
    QStringList labels; // in the order of the targets
};

std::optional<UnitChoices> unitChoices(const Cli& cli, const CliArguments& args) {
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

// The image, loaded once for the whole run, or its refusal before any port is touched: a file
// that cannot be read, or a program the download would refuse, for the same cause. A font has
// no required form: its other refusals (empty) come from the download.
std::variant<SharedImage, ImageRefusal> loadedImage(const Cli& cli, const Faces& faces,
                                                    const ImageArgument& image, ImageKind kind,
                                                    const CauseTexts& texts) {
    const Result<SharedImage> loaded = LoadImage(image.path(), kind, image.name());
    const auto refused = !loaded || kind == ImageKind::Program
                             ? JudgeImage(faces, loaded, image.path(), kind)
                             : std::nullopt;
    if (!refused)
        return *loaded;
    cli.refuse(Outcome::Refused, refused->cause, texts.cause(refused->cause, 0, 0, 0), texts);
    return *refused;
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
void recordRefusedImage(const Cli& cli, std::vector<MultiTarget> targets, const QByteArray& name,
                        ImageKind kind, const ImageRefusal& refusal, const UnitChoices& units,
                        const RecipeStamp& recipe = {}) {
    DownloadHistory history(QStringLiteral("cli"));
    reportHistory(cli, history);
    DownloadJob job;
    job.imageName = name;
    job.imagePath = QFile::decodeName(name);
    job.kind = kind;
    if (targets.empty())
        targets.emplace_back();
    for (std::size_t i = 0; i < targets.size(); ++i) {
        job.printer = targets[i].printer;
        DownloadResult result = RefusedDownload(job, refusal.cause);
        result.bytes = refusal.bytes;
        result.sha256 = refusal.sha256;
        // A unit of one attempt: an image refused is never tried again.
        UnitStamp stamp{units.operatorName,
                        units.station,
                        units.labels.value(static_cast<qsizetype>(i)),
                        QUuid::createUuid().toString(QUuid::WithoutBraces),
                        1,
                        {}};
        stamp.setRecipe(recipe);
        history.record(result, stamp);
    }
}

// The run's line recipe, checked before any printer is touched: its signature, the signer's key,
// its form and expiry, the image's bytes, every printer named and every label. A refusal is
// said (with --json as its error event), recorded for each printer named, and ends the run.
std::variant<std::shared_ptr<const RecipeGate>, int>
checkedRecipe(const Cli& cli, const CliArguments& args, const Faces& faces, const CauseTexts& texts,
              const LoadedImage& image, const std::vector<MultiTarget>& targets,
              const ComPortMap& comPorts, bool watch, const UnitChoices& units) {
    const TrustedKeys trusted = LoadTrustedKeys(TrustedKeyFolders::station());
    for (const QString& fault : trusted.unreadable)
        cli.err.write(QStringLiteral("posflash-cli: ignored: %1\n").arg(fault));
    auto opened =
        RecipeGate::open(args.value("recipe"), trusted.keys, QDateTime::currentDateTimeUtc());
    RecipeVerdict verdict;
    RecipeStamp approval; // the recipe that refused, once it verified
    if (const RecipeVerdict* refused = std::get_if<RecipeVerdict>(&opened)) {
        verdict = *refused;
    } else {
        const RecipeGate& gate = std::get<RecipeGate>(opened);
        approval = gate.stamp();
        verdict = gate.checkImage(image);
        for (const MultiTarget& target : targets) {
            if (verdict.ok())
                verdict = gate.checkUnit(target.printer, target.unitLabel, comPorts);
        }
        // Printers found on the bus come without labels.
        if (verdict.ok() && (args.isSet("all") || watch))
            verdict = gate.checkLabel({});
        if (verdict.ok())
            return std::make_shared<const RecipeGate>(gate);
    }
    const Cause cause = CauseOfRecipe(verdict.cause);
    const ImageRefusal refusal{cause, {}, static_cast<qint64>(image.bytes.size()), image.sha256};
    recordRefusedImage(cli, targets, image.name, image.kind, refusal, units, approval);
    return cli.refuse(Outcome::Refused, cause, RecipeTexts(faces).cause(verdict), texts);
}

// Every printer's USB virtual COM port present now that the filter takes, by its device node.
std::vector<MultiTarget> presentComPrinters(const UsbTargetFilter& filter) {
    std::vector<MultiTarget> found;
    const UdevUsbInventory host;
    for (const UsbDeviceEntry& device :
         FilteredPrinters(host.devices().value_or(std::vector<UsbDeviceEntry>{}), filter, false))
        found.push_back({PrinterOfUsbDevice(device), device.serialNode, {}});
    return found;
}

// What a download runs, however its printers were named: each printer a unit on an engine of
// its own, a printer named alone as much as several.
struct DownloadPlan {
    std::vector<MultiTarget> targets;
    UnitChoices units;
    std::optional<int> linkTimeoutMs;
    bool viaApp = false;
    UsbTargetFilter filter;
    ViewFace face = ViewFace::Several;
    // A store's rollout: what it asks of the run; none for an ordinary download.
    std::optional<FleetChoices> fleet;
    // Before the history, so that it goes after it: its last pass sends this run's rows.
    std::unique_ptr<DownloadRecords> records;
};

// The printer named alone, as its view names it: the address, the COM name or the device.
Result<std::vector<MultiTarget>> onePrinter(const CliArguments& args) {
    const auto target = TargetFrom(args, args.value("port"), true);
    if (!target)
        return target.error();
    return std::vector<MultiTarget>{{*target, PrinterShown(*target), {}}};
}

// The options read into a plan, or the exit code of a usage error.
std::variant<DownloadPlan, int> planOf(const Cli& cli, const CliArguments& args) {
    const bool watch = args.isSet("watch");
    DownloadPlan plan;
    plan.face = args.isSet("json") ? ViewFace::Json
                : args.isSet("all") || watch || args.values("port").size() > 1 ||
                        args.values("ip").size() > 1
                    ? ViewFace::Several
                    : ViewFace::One;
    if (args.isSet("via-app") && plan.face != ViewFace::One)
        return cli.usage("--via-app takes one printer, without --all or --json");
    if (args.isSet("via-app") && !(args.isSet("font") && args.isSet("net")))
        return cli.usage("--via-app goes with --font --net");
    if (args.isSet("all") && args.isSet("port"))
        return cli.usage("--all and --port exclude each other");
    if (watch && (args.isSet("all") || args.isSet("port") || args.isSet("net")))
        return cli.usage("--watch excludes --all, --port and --net");
    if (!watch && !args.isSet("all") && (args.isSet("usb-path") || args.isSet("serial-prefix")))
        return cli.usage("--usb-path and --serial-prefix go with --all or --watch");
    if (!watch && !args.isSet("net") && args.isSet("inboot"))
        return cli.usage("--inboot goes with --watch or --net");
    auto fleet = FleetChoicesOf(cli, args);
    if (const int* code = std::get_if<int>(&fleet))
        return *code;
    plan.fleet = std::get<std::optional<FleetChoices>>(fleet);
    // A rollout's printers each end in a line of their own, and none waits for ever.
    if (plan.fleet && plan.face == ViewFace::One)
        plan.face = ViewFace::Several;
    if (!args.isSet("net") && (args.isSet("ip") || args.isSet("mac")))
        return cli.usage("--ip and --mac go with --net");
    plan.viaApp = args.isSet("via-app");
    plan.filter = {args.values("usb-path"), args.value("serial-prefix")};
    plan.records = std::make_unique<DownloadRecords>(args, cli.err, cli.syncThreads);
    auto given = plan.face == ViewFace::One ? onePrinter(args) : NamedTargets(args);
    if (!given)
        return cli.usage(given.error().text);
    plan.targets = std::move(*given);
    std::vector<MultiTarget>& targets = plan.targets;
    const auto units = unitChoices(cli, args);
    if (!units)
        return kExitUsage;
    if (!units->labels.isEmpty()) {
        // Printers found on the bus come in no order the user can match labels to.
        if (args.isSet("all") || watch)
            return cli.usage("--label goes with --port or --net, one for each printer in order");
        if (units->labels.size() != static_cast<qsizetype>(targets.size()))
            return cli.usage(QStringLiteral("--label is given %1 for %2")
                                 .arg(units->labels.size() == 1
                                          ? QStringLiteral("once")
                                          : QStringLiteral("%1 times").arg(units->labels.size()))
                                 .arg(targets.size() == 1
                                          ? QStringLiteral("1 printer")
                                          : QStringLiteral("%1 printers").arg(targets.size())));
        for (std::size_t i = 0; i < targets.size(); ++i)
            targets[i].unitLabel = units->labels[static_cast<qsizetype>(i)];
    }
    plan.units = *units;
    // A printer named alone waits as the window does, until it answers or a stop.
    if (targets.size() > 1 || args.isSet("all") || watch || args.isSet("link-timeout") ||
        plan.fleet) {
        bool ok = false;
        const int seconds = args.value("link-timeout").toInt(&ok);
        if (!ok || seconds < 1 || seconds > 86400)
            return cli.usage("--link-timeout is a number of seconds from 1 to 86400");
        plan.linkTimeoutMs = seconds * 1000;
    }
    return plan;
}

// Runs the plan: the image judged, then every printer at once on this thread, shown as the
// plan asks; returns the exit code.
int runDownload(const Cli& cli, const CliArguments& args, const QString& imageArgument,
                DownloadPlan plan) {
    std::vector<MultiTarget>& targets = plan.targets;
    const bool watch = args.isSet("watch");
    const UnitChoices& units = plan.units;
    Faces faces;
    faces.setUseEnglish(args.value("lang") == "en");
    const CauseTexts texts(faces);
    const ImageKind kind = ImageKindOf(args.isSet("font"));
    const auto image = ImageArgument::open(imageArgument, cli.rawArguments);
    if (!image) {
        const int code = cli.unopened(image.error(), texts);
        if (const auto name = ImageArgument::nameOf(imageArgument, cli.rawArguments))
            recordRefusedImage(cli, targets, *name, kind, {Cause::FileNotOpen, {}, -1, {}}, units);
        return code;
    }
    const auto loaded = loadedImage(cli, faces, *image, kind, texts);
    if (const auto* refused = std::get_if<ImageRefusal>(&loaded)) {
        recordRefusedImage(cli, targets, image->name(), kind, *refused, units);
        return kExitUsage;
    }
    const SharedImage& sent = std::get<SharedImage>(loaded);
    if (args.isSet("all")) {
        targets = presentComPrinters(plan.filter);
        if (targets.empty())
            return cli.refuse(Outcome::Failed, Cause::PrinterAbsent,
                              texts.own(QT_TRANSLATE_NOOP(
                                  "CliTexts", "no printer with a USB virtual COM port is present")),
                              texts);
    }

    ComPortMap comPorts = RunPortMap(ComPortMapPath());
    std::shared_ptr<const RecipeGate> recipe;
    int retries = units.retries;
    if (args.isSet("recipe")) {
        auto checked =
            checkedRecipe(cli, args, faces, texts, *sent, targets, comPorts, watch, units);
        if (const int* code = std::get_if<int>(&checked))
            return *code;
        recipe = std::get<std::shared_ptr<const RecipeGate>>(checked);
        if (!args.isSet("retries") && recipe->recipe().retries)
            retries = *recipe->recipe().retries;
    }

    MultiSettings settings{sent,       args.value("lang") == "en", plan.linkTimeoutMs,
                           retries,    units.operatorName,         units.station,
                           plan.viaApp};
    settings.recipe = recipe;
    if (watch)
        targets.clear(); // the printers come as they are plugged in
    // --color decides with the terminal and NO_COLOR.
    ViewStyle style{plan.face, watch, ::isatty(STDOUT_FILENO) == 1};
    style.colour = UseColour(ParseColourChoice(args.value("color")).value_or(ColourChoice::Auto),
                             style.terminal, qgetenv("NO_COLOR"));
    style.columns = TerminalColumns(STDOUT_FILENO);
    style.linkTimeoutMs = plan.linkTimeoutMs.value_or(0);
    style.imageBytes = static_cast<qint64>(sent->bytes.size());
    style.frameBytes = FrameDataSizeOf(kind);
    std::optional<FleetDownload> fleet;
    if (plan.fleet) {
        UnitStamp stamp{units.operatorName, units.station, {}, {}, 0, {}};
        if (recipe)
            stamp.setRecipe(recipe->stamp());
        fleet.emplace(cli, *plan.fleet, texts, plan.face == ViewFace::Json, targets, sent, stamp,
                      style.linkTimeoutMs);
        targets = fleet->before(comPorts);
    }
    DownloadView view(cli.out, cli.err, faces, targets, style);
    // A port that is not there, or is no serial line, is refused before any printer starts:
    // one answer for a run of one, of several, with --json or without, and for inboot.
    for (const MultiTarget& target : targets)
        if (const auto refused = RefusedPort(target.printer, comPorts))
            return cli.refusePort(*refused, texts);
    DownloadHistory history(QStringLiteral("cli"));
    reportHistory(cli, history);
    // Until every printer is done (or, watching, until stopped); a stop signal that came
    // before the start stops at once.
    const auto runToEnd = [&cli](auto& run, const std::function<void(int)>& signalled) {
        const StopSignals stops(cli, [&](int count) {
            signalled(count);
            run.stop();
        });
        if (cli.stopSignals.arrived())
            run.stop();
        QEventLoop loop;
        int code = kExitFailed;
        run.start([&loop, &code](int exitCode) {
            code = exitCode;
            loop.quit();
        });
        loop.exec();
        return code;
    };
    if (watch) {
        WatchRunner run(
            settings, plan.filter, args.isSet("inboot"), comPorts, view, &history,
            [&cli](const QString& usbPath, bool sent) {
                // Standard error: with --json, standard output carries the events.
                cli.err.write(
                    QStringLiteral("posflash-cli: the printer at USB %1 %2\n")
                        .arg(usbPath, sent ? QStringLiteral("was sent into its boot loader")
                                           : QStringLiteral("did not take the boot "
                                                            "loader command")));
            });
        return runToEnd(run, [](int) {});
    }
    const UdevUsbInventory host;
    if (fleet) {
        fleet->holdRows(history);
        if (!targets.empty()) {
            MultiDownload run(targets, settings, comPorts, host, fleet->sinkFor(view), &history);
            runToEnd(run, [&](int count) {
                view.stopSignalled(count, run.anyClosing(), run.anyTransferring());
            });
        }
        return fleet->finish(view, history);
    }
    MultiDownload run(targets, settings, comPorts, host, view, &history);
    return runToEnd(run, [&](int count) {
        view.stopSignalled(count, run.anyClosing(), run.anyTransferring());
    });
}

} // namespace

int DownloadCommand(const Cli& cli, const CliArguments& args) {
    const QStringList positional = args.positionalArguments();
    if (positional.size() != 2)
        return cli.usage("download needs exactly one FILE");
    auto plan = planOf(cli, args);
    if (const int* code = std::get_if<int>(&plan))
        return *code;
    return runDownload(cli, args, positional[1], std::move(std::get<DownloadPlan>(plan)));
}

} // namespace posflash
