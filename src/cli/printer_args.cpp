#include "cli/printer_args.h"

#include "cli/input_checks.h"
#include "ports/com_port_map.h"
#include "protocol/address_text.h"

#include <QFileInfo>

namespace posflash {

std::optional<Target> TargetFrom(const CliArguments& args, const QString& port, bool needMac,
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
DownloadTarget JobTarget(const Target& target) {
    DownloadTarget job;
    job.comNumber = target.comNumber;
    job.devicePath = target.device;
    job.ip = target.ip;
    job.mac = target.mac;
    return job;
}

} // namespace posflash
