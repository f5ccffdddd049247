#pragma once

#include "base/error.h"

#include <QDateTime>
#include <QString>

#include <QStringView>

#include <map>
#include <optional>

namespace posflash {

// COM1..COM255 name device nodes here: the COM list and --port speak of numbers, and this map
// gives each number its node. COM1/COM2 are /dev/ttyS0 and /dev/ttyS1 unless the file maps them
// otherwise; any other serial device gets, when first seen, the lowest free number from COM3
// up and keeps it across runs. The file (comports.ini) is plain text a user may edit.
class ComPortMap {
public:
    static constexpr int kFirstNumber = 1;
    static constexpr int kLastNumber = 255;
    static constexpr int kFirstAssigned = 3;
    // Error codes of the map's own; the file's errors keep the INI store's codes.
    static constexpr int kInvalidArgument = 3;
    static constexpr int kMapFull = 4;

    // An empty fileName keeps the map in memory only.
    explicit ComPortMap(QString fileName = {});

    // The device node behind COMn; empty when unmapped or out of range.
    QString devicePath(int comNumber) const;

    // The COM number of a device node; 0 when unmapped.
    int comNumberOf(const QString& devicePath) const;

    // The device's number, giving it the lowest free number from COM3 up when it has none;
    // an error when every number is taken or the file could not be read or written.
    Result<int> assign(const QString& devicePath);

    // Maps COMn to a node, replacing what COMn named before (tests, demo, a user's choice).
    Status setMapping(int comNumber, const QString& devicePath);

    // A file that cannot be read leaves the numbers known before (the defaults at first): a
    // lookup keeps working, and the next assign or setMapping says what is wrong.
    std::map<int, QString> entries() const;
    QString fileName() const;

private:
    void reloadIfChanged() const;
    Status save();

    QString fileName_;
    mutable std::map<int, QString> entries_;
    // What the file looked like at the last load: a change of time or size means a hand edit.
    mutable QDateTime loadedStamp_;
    mutable qint64 loadedSize_ = -1;
    mutable bool loaded_ = false;
};

// n for "COMn": "COM" in any case, then n in 1..255 in ASCII digits without a leading zero, and
// nothing else (no blanks). One rule for what a user types, the map's file and the discovery.
std::optional<int> ParseComName(QStringView text);

} // namespace posflash
