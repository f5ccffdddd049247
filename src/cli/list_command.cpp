#include "cli/list_command.h"

#include "cli/exit_codes.h"
#include "cli/report_output.h"
#include "cli/terminal_output.h"
#include "history/text_forms.h"
#include "ports/com_port_map.h"
#include "ports/printer_usb.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace posflash {
namespace {

// A known USB device, and the COM number a download by --port COMn would use.
struct ListedDevice {
    UsbDeviceEntry device;
    bool comPort = false; // one of the ids the discovery takes for a virtual COM port
    int comNumber = 0;
};

bool known(const UsbDeviceEntry& device, const QStringList& ids) {
    return FindKnownDevice({device}, ids).has_value();
}

struct Listing {
    std::vector<ListedDevice> printers;
    QStringList warnings; // why a COM port got no number
};

Listing printersIn(const std::vector<UsbDeviceEntry>& devices, ComPortMap& comPorts) {
    Listing listing;
    for (const UsbDeviceEntry& device : devices) {
        if (!known(device, KnownUsbDeviceIds()))
            continue;
        ListedDevice printer{device,
                             known(device, KnownUsbComIds()) && !device.serialNode.isEmpty()};
        // The number a download by --port COMn would use; a device seen for the first time
        // gets it now, as the window's discovery would give it.
        if (printer.comPort) {
            if (const Result<int> number = comPorts.assign(device.serialNode))
                printer.comNumber = *number;
            else if (!listing.warnings.contains(number.error().text))
                listing.warnings << number.error().text;
        }
        listing.printers.push_back(std::move(printer));
    }
    return listing;
}

QString jsonOf(const std::vector<ListedDevice>& printers, const ComPortMap& comPorts) {
    QJsonArray list;
    for (const ListedDevice& p : printers)
        list.append(QJsonObject{
            {"vendor_id", p.device.vendorId},
            {"product_id", p.device.productId},
            {"serial", TextOrNull(p.device.serial)},
            {"usb_path", p.device.usbPath},
            {"instance_id", p.device.instanceId},
            {"com_port", p.comPort},
            {"com", p.comNumber > 0 ? QJsonValue(p.comNumber) : QJsonValue()},
            {"device", TextOrNull(p.device.serialNode)},
            {"raw_device", TextOrNull(p.device.rawNode)},
        });
    QJsonArray map;
    for (const auto& [number, node] : comPorts.entries())
        map.append(QJsonObject{{"com", number}, {"device", node}});
    const QJsonObject object{{"event", "list"}, {"printers", list}, {"com_map", map}};
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)) + '\n';
}

QString textOf(const std::vector<ListedDevice>& printers, const ComPortMap& comPorts) {
    QString text;
    if (printers.empty())
        text += QStringLiteral("No printers in reach.\n");
    else
        text += QStringLiteral("Printers in reach:\n");
    for (const ListedDevice& p : printers) {
        text += QStringLiteral("  USB %1:%2 serial %3 at %4: ")
                    .arg(p.device.vendorId, p.device.productId,
                         p.device.serial.isEmpty() ? QStringLiteral("-") : p.device.serial,
                         p.device.usbPath);
        if (p.comPort)
            text += QStringLiteral("COM port %1 %2\n")
                        .arg(p.comNumber > 0 ? QStringLiteral("COM%1").arg(p.comNumber)
                                             : QStringLiteral("(no COM number)"),
                             p.device.serialNode);
        else
            text += QStringLiteral("raw device %1 only\n")
                        .arg(p.device.rawNode.isEmpty() ? QStringLiteral("(no node)")
                                                        : p.device.rawNode);
    }
    text +=
        QStringLiteral("COM map%1:\n")
            .arg(comPorts.fileName().isEmpty() ? QString()
                                               : QStringLiteral(" (%1)").arg(comPorts.fileName()));
    for (const auto& [number, node] : comPorts.entries())
        text += QStringLiteral("  ") + Column(QStringLiteral("COM%1").arg(number), 7) + node + '\n';
    return text;
}

} // namespace

int ListCommand(const CliArguments& args, const UsbInventory& inventory, ComPortMap& comPorts,
                TerminalOutput& err) {
    if (args.positionalArguments().size() != 1) {
        err.write(QStringLiteral("posflash-cli: list takes no FILE\n"));
        return kExitUsage;
    }
    const auto devices = inventory.devices();
    if (!devices) {
        err.write(QStringLiteral("posflash-cli: the host's USB devices cannot be listed\n"));
        return kExitFailed;
    }
    const auto [printers, warnings] = printersIn(*devices, comPorts);
    for (const QString& warning : warnings)
        err.write(QStringLiteral("posflash-cli: warning: %1\n").arg(warning));
    WriteReport(args.isSet("json") ? jsonOf(printers, comPorts) : textOf(printers, comPorts));
    return kExitCompleted;
}

} // namespace posflash
