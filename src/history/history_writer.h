#pragma once

#include "history/history_store.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace posflash {

// Writes the history on a thread of its own, so that a database another process holds locked
// never stalls the caller's event loop. Writes land in the order given; each landing (the
// database, the journal, or nowhere) is told to landed on the thread that made the writer.
// The store lives and dies on the writer's thread, as Qt SQL connections must.
class HistoryWriter : public QObject {
public:
    explicit HistoryWriter(QString filePath = HistoryStore::defaultPath(),
                           HistoryStore::Options options = {}, QObject* parent = nullptr);
    // Waits for every write given to land (into the database or the journal).
    ~HistoryWriter() override;
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    // Returns at once; the record's UUID is made here when empty.
    void write(HistoryRecord record);
    // Adds what an earlier run left in the journal.
    void replayJournal();
    // Blocks until every write given so far has landed, and tells their landings first.
    void finish();

    const QString& filePath() const { return filePath_; }

    std::function<void(const HistoryWrite&)> landed;

private:
    class Worker;
    void tellLandings();

    QString filePath_;
    QThread thread_;
    Worker* worker_; // owned by the thread: deleted there when it ends
    std::mutex lock_;
    std::vector<HistoryWrite> landings_; // not yet told; guarded by lock_
};

} // namespace posflash
