#include "cli/inboot_command.h"

#include "base/config_paths.h"
#include "cli/printer_args.h"
#include "engine/engine.h"
#include "ports/hotplug_usb_inventory.h"
#include "ports/named_usb_device.h"

#include <QEventLoop>

#include <optional>
#include <vector>

namespace posflash {
namespace {

// Sends one printer the boot-loader command; whether it was sent.
bool sendBootCommand(const Cli& cli, const Printer& target, const CauseTexts& texts, bool english) {
    ComPortMap comPorts = RunPortMap(ComPortMapPath());
    HotplugUsbInventory host; // the wait for the printer to come back follows device events
    const NamedUsbDeviceInventory named(host, target.node);
    Engine engine(comPorts, target.node.isEmpty() ? static_cast<const UsbInventory&>(host) : named);
    engine.faces().setUseEnglish(english);
    engine.watchDevices(&host.monitor());
    QEventLoop loop;
    std::optional<DownloadResult> result;
    EventFunction events([&](const DownloadEvent& e) {
        if (e.kind != DownloadEvent::Kind::Finished)
            return;
        result = *e.result;
        loop.quit();
    });
    const StopSignals stops(cli, [&engine](int) { engine.stop(); });
    if (cli.stopSignals.arrived())
        return false;
    const bool network = target.medium() == Printer::Medium::Network;
    const QString shown = PrinterShown(target);
    engine.sendBootCommand({target, network ? Route::Network : Route::Com}, events);
    if (!result)
        loop.exec();
    const bool sent = result->outcome == Outcome::Completed;
    QString said =
        sent
            ? texts.own(QT_TRANSLATE_NOOP("CliTexts", "the boot-loader command was sent"))
            : texts.own(QT_TRANSLATE_NOOP("CliTexts", "the boot-loader command could not be sent"));
    if (result->error.is(ErrorDomain::Inboot, inboot_error::kPrinterReset))
        said += QStringLiteral(": ") +
                texts.own(QT_TRANSLATE_NOOP(
                    "CliTexts", "the printer reset the connection before it took the command")) +
                QStringLiteral(" (%1)").arg(result->error.detail);
    (sent ? cli.out : cli.err).write(shown + QStringLiteral(": ") + said + QLatin1Char('\n'));
    if (!sent) {
        // The outcome and cause, as a download ends: "failed: printer-absent — …".
        cli.err.write(texts.endLine(*result) + QLatin1Char('\n'));
        if (const QString remedy = texts.remedyLine(result->cause); !remedy.isEmpty())
            cli.err.write(remedy + QLatin1Char('\n'));
    }
    return sent;
}

} // namespace

int InbootCommand(const Cli& cli, const CliArguments& args) {
    if (args.positionalArguments().size() != 1)
        return cli.usage("inboot takes no FILE");
    // Several printers one after another: the command takes about a second each.
    const QStringList ports = args.isSet("net") ? QStringList{QString()} : args.values("port");
    std::vector<Printer> targets;
    for (const QString& port : ports.isEmpty() ? QStringList{QString()} : ports) {
        const auto target = TargetFrom(args, port, false);
        if (!target)
            return cli.usage(target.error().text);
        targets.push_back(*target);
    }
    if (args.isSet("net")) {
        // Every --ip, each checked as the first one was.
        targets.clear();
        for (const QString& ip : args.values("ip")) {
            const auto target = ParseNetworkPrinter(ip, {});
            if (!target)
                return cli.usage(target.error().text);
            targets.push_back(*target);
        }
    }
    Faces faces;
    faces.setUseEnglish(args.value("lang") == "en");
    const CauseTexts texts(faces);
    // The same answer as a download's for a port that is not there or is no serial line.
    const ComPortMap comPorts = RunPortMap(ComPortMapPath());
    for (const Printer& target : targets)
        if (const auto refused = RefusedPort(target, comPorts))
            return cli.refusePort(*refused, texts);
    int code = kExitCompleted;
    for (const Printer& target : targets) {
        if (cli.stopSignals.arrived())
            return kExitFailed;
        if (!sendBootCommand(cli, target, texts, faces.UseEnglish()))
            code = kExitFailed;
    }
    return code;
}

} // namespace posflash
