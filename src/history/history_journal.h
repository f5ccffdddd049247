#pragma once

#include "base/error.h"
#include "history/history_store.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace posflash {

// The records the history's database did not take, one JSON object a line, appended and
// synced to disk before a write counts as kept. Every use holds an exclusive lock on the file
// (flock), so an append never slips between a replay's read and its truncation.
class HistoryJournal {
public:
    explicit HistoryJournal(QString path) : path_(std::move(path)) {}

    // Appends the record and syncs the file (and its folder when the file is new).
    Status append(const HistoryRecord& record);

    // Hands the journal's records to commit, batchRows at a time, then empties the file. A
    // failed batch ends the replay with the file whole: what was committed is committed again
    // the next time, which commit must ignore (by the UUID). No journal, or another process
    // replaying it, is success.
    Status replay(int batchRows,
                  const std::function<Status(const std::vector<HistoryRecord>&)>& commit);

    // A record as a journal line (no newline), and back; a line that does not read (a write
    // cut off by a crash) gives nothing.
    static QByteArray lineOf(const HistoryRecord& record);
    static std::optional<HistoryRecord> recordOf(const QByteArray& line);

private:
    QString path_;
};

} // namespace posflash
