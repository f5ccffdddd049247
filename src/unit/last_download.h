#pragma once

#include "base/error.h"
#include "base/printer.h"
#include "history/history_store.h"

#include <QByteArray>

#include <vector>

namespace posflash {

// The newest completed download to each printer, from the history: a printer on the network
// is known by its MAC (however it was written), one on USB by its serial number.
class LastDownloads {
public:
    // The history's completed rows; an empty history has none.
    static Result<LastDownloads> read(HistoryStore& history);
    explicit LastDownloads(std::vector<HistoryRecord> completedNewestFirst)
        : rows_(std::move(completedNewestFirst)) {}

    // Completed rows from elsewhere too (the line's records): the newest row still answers.
    void add(std::vector<HistoryRecord> completed);

    // Its newest completed row, or nullptr.
    const HistoryRecord* of(const Printer& printer) const;

private:
    std::vector<HistoryRecord> rows_;
};

// Whether the printer whose last download is last already holds the image (its SHA-256, 32
// bytes, and its kind: "program" or "font").
bool IsCurrent(const HistoryRecord* last, const QByteArray& sha256, const QString& kind);

} // namespace posflash
