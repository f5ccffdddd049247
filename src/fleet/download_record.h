#pragma once

#include "download/download_result.h"
#include "history/history_store.h"

#include <QString>

namespace posflash {

// The history's record of a finished download, from the printer the engine aimed at: a
// device path stays itself beside the COM number the map gave it. The result is the
// outcome's name; the reason is the cause code ("printer-silent"), empty when completed.
// frontEnd: "window" or "cli".
HistoryRecord RecordOf(const DownloadResult& result, const QString& frontEnd);

// Whether a result belongs in the history: everything but a job refused because another one
// runs on that printer, which never touched it.
bool IsRecorded(const DownloadResult& result);

// The downloads of one front end, written to the history of the thread that owns this.
class DownloadHistory {
public:
    explicit DownloadHistory(QString frontEnd, QString filePath = HistoryStore::defaultPath());

    // A history that cannot be written is the caller's warning, never a failed download.
    Status record(const DownloadResult& result);

private:
    QString frontEnd_;
    HistoryStore store_;
};

} // namespace posflash
