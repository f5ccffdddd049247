#include "engine/download_record.h"

#include "base/panel.h"
#include "engine/engine.h"
#include "ports/com_port_map.h"
#include "ports/usb_inventory.h"

#include <QFileInfo>

namespace posflash {
namespace {

// Symbolic links (udev's by-id names, a test's link to a pseudo-terminal) name the same node.
QString canonical(const QString& node) {
    const QString resolved = QFileInfo(node).canonicalFilePath();
    return resolved.isEmpty() ? node : resolved;
}

} // namespace

DownloadTarget CurrentTarget(Engine& engine, const Panel& panel, const ComPortMap& comPorts,
                             const UsbInventory& inventory) {
    DownloadTarget target;
    if (engine.portModel().portKind() == PortKindValue::Network) {
        target.ip = panel.ipAddressText().trimmed();
        target.mac = panel.macAddressText().trimmed();
        return target;
    }
    target.comNumber = engine.portModel().comIndex() + 1;
    target.deviceNode = comPorts.devicePath(target.comNumber);
    if (target.deviceNode.isEmpty())
        return target;
    const QString node = canonical(target.deviceNode);
    if (const auto devices = inventory.devices())
        for (const UsbDeviceEntry& device : *devices)
            if (!device.serialNode.isEmpty() && canonical(device.serialNode) == node) {
                target.usbSerial = device.serial;
                break;
            }
    return target;
}

QString OutcomeName(DownloadDriver::Outcome outcome) {
    switch (outcome) {
    case DownloadDriver::Outcome::Completed:
        return QStringLiteral("completed");
    case DownloadDriver::Outcome::Failed:
        return QStringLiteral("failed");
    case DownloadDriver::Outcome::Cancelled:
        return QStringLiteral("cancelled");
    case DownloadDriver::Outcome::Refused:
        return QStringLiteral("refused");
    case DownloadDriver::Outcome::NotStarted:
        return QStringLiteral("not-started");
    case DownloadDriver::Outcome::None:
        break;
    }
    return QStringLiteral("none");
}

HistoryRecord RecordOf(const DownloadDriver::Summary& summary, const QString& frontEnd,
                       const DownloadTarget& target) {
    HistoryRecord record;
    record.startedAt = summary.startedAt;
    record.milliseconds = summary.milliseconds;
    record.frontEnd = frontEnd;
    record.comNumber = target.comNumber;
    record.deviceNode = target.deviceNode;
    record.ip = target.ip;
    record.mac = target.mac;
    record.usbSerial = target.usbSerial;
    record.filePath = summary.filePath;
    record.fileSize = summary.fileSize;
    record.kind = summary.font ? QStringLiteral("font") : QStringLiteral("program");
    record.crc16 = summary.crc16;
    record.frames = summary.frames;
    record.retries = summary.retries;
    record.result = OutcomeName(summary.outcome);
    record.reason = summary.reason;
    return record;
}

} // namespace posflash
