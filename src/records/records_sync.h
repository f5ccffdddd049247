#pragma once

#include "history/history_store.h"
#include "records/central_schema.h"
#include "records/records_address.h"

#include <functional>
#include <vector>

namespace posflash {

struct SyncOutcome {
    RecordsError error; // trouble None: every row was sent
    int sent = 0;       // rows this pass committed to the line's table
};

struct RecordsSyncOptions {
    int batchRows = 500;
    // Told after each batch is committed and marked, with the rows sent so far.
    std::function<void(int)> batchSent;
    // Told once the line's server took the login and has the schema.
    std::function<void()> connected;
};

// One pass of the sync: the local history's rows not yet sent go to the line's table in
// batches, each one transaction with INSERT … ON CONFLICT (id) DO NOTHING, and are marked sent
// in the local file (table synced) only after that commit. A pass cut short anywhere (a kill,
// an outage) leaves rows unmarked that the line may already hold; the next pass sends them
// again and the line ignores them. Blocks: run it off any window's thread.
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
    std::optional<RecordsError> openLocal(QStringList& columns);

    RecordsAddress address_;
    QString historyPath_;
    Options options_;
    QString localName_;
};

// The line's newest limit records (all when limit <= 0), newest first, as the local history
// gives its own.
Result<std::vector<HistoryRecord>> CentralRecords(const RecordsAddress& address, int limit);

} // namespace posflash
