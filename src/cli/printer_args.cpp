#include "cli/printer_args.h"

#include "protocol/address_text.h"

#include <cerrno>

namespace posflash {

namespace {

Error usage(const QString& why) {
    return Error{EINVAL, why};
}

// The --ip and --mac pairs, in order.
Result<std::vector<MultiTarget>> networkTargets(const CliArguments& args) {
    const QStringList ips = args.values("ip");
    const QStringList macs = args.values("mac");
    if (args.isSet("port") || args.isSet("all"))
        return usage("--net excludes --port and --all");
    if (ips.isEmpty() || ips.size() != macs.size())
        return usage("--net needs an --ip and a --mac for each printer");
    std::vector<MultiTarget> targets;
    for (qsizetype i = 0; i < ips.size(); ++i) {
        Result<Printer> printer = ParseNetworkPrinter(ips[i], macs[i]);
        if (!printer)
            return printer.error();
        // One printer per address and per MAC: the replies are told apart by them.
        for (const MultiTarget& other : targets)
            if (other.printer.ip == printer->ip ||
                ParseMacText(other.printer.mac) == ParseMacText(printer->mac))
                return usage(
                    QStringLiteral("--ip %1 --mac %2 names a printer twice").arg(ips[i], macs[i]));
        targets.push_back({*printer, ips[i] + QLatin1Char('/') + macs[i], {}});
    }
    return targets;
}

} // namespace

Result<Printer> TargetFrom(const CliArguments& args, const QString& port, bool needMac) {
    if (!args.isSet("net")) {
        if (port.isEmpty())
            return usage("--port or --net is required");
        return ParsePortPrinter(port, DeviceCheck::Now);
    }
    if (args.isSet("port"))
        return usage("--net and --port exclude each other");
    const QString ip = args.value("ip");
    const QString mac = args.value("mac");
    if (ip.isEmpty() || (needMac && mac.isEmpty()))
        return usage(needMac ? "--net needs --ip and --mac" : "--net needs --ip");
    return ParseNetworkPrinter(ip, mac);
}

Result<std::vector<MultiTarget>> NamedTargets(const CliArguments& args) {
    std::vector<MultiTarget> targets;
    if (args.isSet("net")) {
        auto named = networkTargets(args);
        if (!named)
            return named.error();
        targets = std::move(*named);
    }
    for (const QString& port : args.values("port")) {
        Result<Printer> printer = ParsePortPrinter(port, DeviceCheck::Now);
        if (!printer)
            return printer.error();
        MultiTarget target{*printer, port, {}};
        if (target.printer.comNumber > 0)
            target.label = PrinterShown(target.printer);
        for (const MultiTarget& other : targets)
            if (other.label == target.label)
                return usage(QStringLiteral("--port %1 is named twice").arg(port));
        targets.push_back(target);
    }
    return targets;
}

} // namespace posflash
