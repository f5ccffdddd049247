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
    struct Limits {
        int batchRows = 50;                // records handed to commit at a time
        qsizetype chunkBytes = 64 * 1024;  // read at a time
        qsizetype lineBytes = 1024 * 1024; // a longer line is no record: it is moved aside
    };

    explicit HistoryJournal(QString path) : path_(std::move(path)) {}

    const QString& path() const { return path_; }
    // Where a replay keeps the lines it could not take, so that none is lost.
    QString rejectedPath() const { return path_ + QStringLiteral(".rejected"); }

    // Appends the record and syncs the file (and its folder when the file is new).
    Status append(const HistoryRecord& record) const;

    // Hands the journal's records to commit, batchRows at a time, reading the file a chunk at
    // a time, then empties it. A line that is no record (but an empty one, and a last one
    // without its newline, which a crash cut off) is appended to rejectedPath() and synced
    // first. A failed batch ends the replay with the file whole and nothing moved: what was
    // committed is committed again the next time, which commit must ignore (by the UUID).
    // Returns the number of lines moved aside. No journal, or another process replaying it, is
    // success.
    Result<qint64>
    replay(const Limits& limits,
           const std::function<Status(const std::vector<HistoryRecord>&)>& commit) const;

    // A record as a journal line (no newline), spelt as history --json spells it, and back. A
    // line of the first spelling (before the journal spoke history --json's) still reads; a
    // line that neither writer could have written (cut off, a field missing or out of its
    // range) gives nothing.
    static QByteArray lineOf(const HistoryRecord& record);
    static std::optional<HistoryRecord> recordOf(const QByteArray& line);

private:
    QString path_;
};

} // namespace posflash
