#pragma once

#include "history/history_store.h"
#include "records/central_schema.h"
#include "records/records_address.h"
#include "records/sync_marks.h"

#include <functional>
#include <vector>

namespace posflash {

struct SyncOutcome {
    Status status; // ok: every row was sent or set aside
    int sent = 0;  // rows this pass committed to the line's table
    // Rows the server refused, this pass and in all: each is kept, with the server's words,
    // out of the way of the others (records status lists them).
    int setAside = 0;
    int setAsideInAll = 0;
    QStringList refusals; // this pass's, one line each: the row and the server's words
};

struct RecordsSyncOptions {
    int batchRows = 500;
    // Told after each batch is committed and marked, with the rows sent so far.
    std::function<void(int)> batchSent;
    // Told once the line's server took the login and has the schema.
    std::function<void()> connected;
};

// One pass of the sync: the local history's rows not yet sent go to the line's table in
// batches, each one INSERT … ON CONFLICT (id) DO NOTHING with bound values, and are marked sent
// in the local file only after the server committed it. A pass cut short anywhere (a kill, an
// outage) leaves rows unmarked that the line may already hold; the next pass sends them again
// and the line ignores them. A batch the server refuses for a row's values is halved until the
// rows it refuses stand alone: those are set aside with its words, every other row is sent.
// Blocks, within bounded waits: run it off any window's thread.
class RecordsSync {
public:
    using Options = RecordsSyncOptions;

    RecordsSync(RecordsAddress address, QString historyPath, Options options);
    RecordsSync(RecordsAddress address, QString historyPath)
        : RecordsSync(std::move(address), std::move(historyPath), Options{}) {}
    ~RecordsSync();
    RecordsSync(const RecordsSync&) = delete;
    RecordsSync& operator=(const RecordsSync&) = delete;

    SyncOutcome pass();

private:
    RecordsAddress address_;
    QString historyPath_;
    Options options_;
};

// The line's newest limit records (all when limit <= 0), newest first, as the local history
// gives its own.
Result<std::vector<HistoryRecord>> CentralRecords(const RecordsAddress& address, int limit);

} // namespace posflash
