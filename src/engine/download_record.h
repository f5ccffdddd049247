#pragma once

#include "download/download_driver.h"
#include "history/history_store.h"

#include <QString>

namespace posflash {

class ComPortMap;
class Engine;
class Panel;
class UsbInventory;

// Where a download went, as the front end that ran it knows.
struct DownloadTarget {
    int comNumber = 0;
    QString deviceNode;
    QString ip;
    QString mac;
    QString usbSerial; // the serial number of the USB device whose tty is deviceNode
};

// The engine's port choice as a target: the selected COM number and the node the map gives
// it, or the panel's IP and MAC addresses; the USB serial number when the inventory lists a
// device on that node.
DownloadTarget CurrentTarget(Engine& engine, const Panel& panel, const ComPortMap& comPorts,
                             const UsbInventory& inventory);

// The history's record of a finished download. frontEnd: "window" or "cli".
HistoryRecord RecordOf(const DownloadDriver::Summary& summary, const QString& frontEnd,
                       const DownloadTarget& target);

// The outcome as the history and the command line name it: "completed", "failed", ...
QString OutcomeName(DownloadDriver::Outcome outcome);

} // namespace posflash
