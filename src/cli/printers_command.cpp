#include "cli/printers_command.h"

#include "base/faces.h"
#include "cli/firmware_looks.h"
#include "cli/json_events.h"
#include "cli/printer_args.h"
#include "cli/records_command.h"
#include "fleet/target_filter.h"
#include "history/record_fields.h"
#include "ports/usb_inventory_linux.h"
#include "records/records_address.h"
#include "report/central_compliance.h"
#include "unit/cause_texts.h"
#include "unit/last_download.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSysInfo>

#include <vector>

namespace posflash {
namespace {

QJsonValue textOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

const char* mediumName(Printer::Medium medium) {
    switch (medium) {
    case Printer::Medium::Network:
        return "network";
    case Printer::Medium::Usb:
        return "usb";
    case Printer::Medium::Com:
        return "com";
    case Printer::Medium::Device:
        break;
    }
    return "device";
}

// The last completed download as the contract names it, or null.
QJsonValue lastOf(const HistoryRecord* row) {
    if (!row)
        return QJsonValue();
    const QJsonObject all = JsonOf(*row);
    QJsonObject last;
    for (const char* key :
         {"sha256", "path", "kind", "recipe", "recipe_sequence", "recipe_key", "started"})
        last[key] = all.value(key);
    return last;
}

// Each network printer's firmware looked at, all at once.
std::vector<bool> answering(const std::vector<Printer>& printers) {
    QStringList ips;
    for (const Printer& p : printers) // a USB printer found is present: not looked at
        ips << (p.medium() == Printer::Medium::Network ? p.ip : QString());
    return FirmwaresAnswering(ips);
}

} // namespace

int PrintersCommand(const Cli& cli, const CliArguments& args) {
    if (args.positionalArguments().size() != 1)
        return cli.usage("printers takes no FILE");
    if (!args.isSet("net") && (args.isSet("ip") || args.isSet("mac")))
        return cli.usage("--ip and --mac go with --net");
    if (!args.isSet("net") && !args.isSet("all"))
        return cli.usage(
            "printers needs --net with an --ip and a --mac for each printer, or --all");
    std::vector<Printer> printers;
    if (args.isSet("net")) {
        const auto named = NamedTargets(args);
        if (!named)
            return cli.usage(named.error().text);
        for (const MultiTarget& target : *named)
            printers.push_back(target.printer);
    }
    if (args.isSet("all")) {
        const UdevUsbInventory host;
        for (const UsbDeviceEntry& device :
             FilteredPrinters(host.devices().value_or(std::vector<UsbDeviceEntry>{}), {}, true))
            printers.push_back(PrinterOfUsbDevice(device));
    }
    HistoryStore store;
    auto last = LastDownloads::read(store);
    if (!last) {
        cli.err.write(QStringLiteral("posflash-cli: the history could not be read: %1\n")
                          .arg(last.error().text));
        last = LastDownloads({});
    }
    // With the line's records, what this station sent from elsewhere (another PC of the store,
    // a history lost) counts too; without them, this PC's history answers alone.
    if (const QString address = RecordsAddressText(args); !address.isEmpty()) {
        const QString station =
            args.isSet("station") ? args.value("station") : QSysInfo::machineHostName();
        const Result<RecordsAddress> parsed = ParseRecordsAddress(address);
        Result<std::vector<HistoryRecord>> central =
            parsed ? CentralLastImages(*parsed, station) : parsed.error();
        if (central)
            last->add(std::move(*central));
        else
            cli.err.write(QStringLiteral("posflash-cli: the line's records could not be read, "
                                         "this PC's history answers: %1\n")
                              .arg(central.error().text));
    }
    const std::vector<bool> answers = answering(printers);
    Faces faces;
    faces.setUseEnglish(args.value("lang") == "en");
    const CauseTexts texts(faces);
    QJsonArray list;
    QString lines;
    for (std::size_t i = 0; i < printers.size(); ++i) {
        const Printer& p = printers[i];
        const HistoryRecord* row = last->of(p);
        list.append(QJsonObject{{"medium", mediumName(p.medium())},
                                {"com", p.comNumber > 0 ? QJsonValue(p.comNumber) : QJsonValue()},
                                {"device", textOrNull(p.node)},
                                {"usb_path", textOrNull(p.usbPath)},
                                {"usb_serial", textOrNull(p.usbSerial)},
                                {"ip", textOrNull(p.ip)},
                                {"mac", textOrNull(p.mac)},
                                {"answers", static_cast<bool>(answers[i])},
                                {"last", lastOf(row)}});
        QString line = PrinterShown(p) + QStringLiteral(": ") +
                       (answers[i] ? texts.own(QT_TRANSLATE_NOOP("CliTexts", "answers"))
                                   : texts.own(QT_TRANSLATE_NOOP("CliTexts", "does not answer")));
        if (row)
            line +=
                QStringLiteral("; ") +
                texts.own(QT_TRANSLATE_NOOP("CliTexts", "last received %1 (%2) at %3"))
                    .arg(QString::fromUtf8(row->sha256.toHex().left(16)),
                         row->recipe.isEmpty()
                             ? texts.own(QT_TRANSLATE_NOOP("CliTexts", "no recipe"))
                             : QStringLiteral("%1 #%2").arg(row->recipe).arg(row->recipeSequence),
                         row->startedAt.toLocalTime().toString(Qt::ISODate));
        lines += line + QLatin1Char('\n');
    }
    if (args.isSet("json"))
        cli.out.write(JsonLine(QJsonObject{{"event", "printers"}, {"printers", list}}));
    else
        cli.out.write(lines);
    return 0;
}

} // namespace posflash
