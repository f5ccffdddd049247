#pragma once

#include "history/history_store.h"
#include "records/pg_link.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace posflash {

// A local row on its way to the line, its values in the local columns' order.
struct PendingRow {
    QString uuid;
    QString label;
    QVariantList values;
};

// A row the line's server refused, kept here until its rules change.
struct SetAsideRow {
    QString uuid;
    QString startedAt;
    QString label;
    QString at;      // when it was set aside
    QString message; // the server's own words
};

// How far this station's history has reached the line.
struct SyncState {
    int records = 0;
    int sent = 0;
    int waiting = 0;
    std::vector<SetAsideRow> setAside;
};

// The sync's own marks in the local history file, beside its downloads: which rows reached the
// line (table synced) and which the line refused (table set_aside, with the server's message and
// the digest of the rules it refused them under). A row in neither is sent on the next pass.
// The file is reached through the history's own store, on the thread that uses the marks.
class SyncMarks {
public:
    explicit SyncMarks(QString historyPath);
    ~SyncMarks();
    SyncMarks(const SyncMarks&) = delete;
    SyncMarks& operator=(const SyncMarks&) = delete;

    // Opens the file (never making one) and keeps the marks' tables; the local columns it has
    // (an older file lacks the newer ones) are then columns().
    Status open();
    const QStringList& columns() const { return columns_; }

    // The oldest rows neither sent nor set aside.
    Result<std::vector<PendingRow>> next(int limit);
    Status markSent(const std::vector<const PendingRow*>& rows);
    Status setAside(const PendingRow& row, const QString& rules, const QString& message);
    // Lets the rows refused under other rules than these be tried again; how many.
    Result<int> release(const QString& rules);
    int setAsideCount();

    // Read only: a file that is missing or has no marks yet says so in its counts.
    static Result<SyncState> State(const QString& historyPath);

private:
    Error localError(const QString& what) const;
    QSqlDatabase db() const;

    HistoryStore history_;
    QStringList columns_;
};

} // namespace posflash
