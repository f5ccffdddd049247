#include "unit/last_download.h"

#include "protocol/address_text.h"

#include <algorithm>
#include <iterator>

namespace posflash {

namespace {

// A MAC written with colons is the same printer as with dashes (the line's records do the same).
std::optional<MacBytes> macOf(QString text) {
    return ParseMacText(text.replace(QLatin1Char(':'), QLatin1Char('-')));
}

} // namespace

Result<LastDownloads> LastDownloads::read(HistoryStore& history) {
    HistoryFilter filter;
    filter.outcome = QStringLiteral("completed");
    auto rows = history.find(filter);
    if (!rows)
        return rows.error();
    return LastDownloads(std::move(*rows));
}

void LastDownloads::add(std::vector<HistoryRecord> completed) {
    rows_.insert(rows_.end(), std::make_move_iterator(completed.begin()),
                 std::make_move_iterator(completed.end()));
    std::stable_sort(rows_.begin(), rows_.end(),
                     [](const auto& a, const auto& b) { return a.startedAt > b.startedAt; });
}

const HistoryRecord* LastDownloads::of(const Printer& printer) const {
    const auto mac = printer.mac.isEmpty() ? std::nullopt : macOf(printer.mac);
    for (const HistoryRecord& row : rows_) {
        if (mac) {
            if (!row.printer.mac.isEmpty() && macOf(row.printer.mac) == mac)
                return &row;
        } else if (!printer.usbSerial.isEmpty() && row.printer.usbSerial == printer.usbSerial) {
            return &row;
        }
    }
    return nullptr;
}

bool IsCurrent(const HistoryRecord* last, const QByteArray& sha256, const QString& kind) {
    return last && !sha256.isEmpty() && last->sha256 == sha256 && last->kind == kind;
}

} // namespace posflash
