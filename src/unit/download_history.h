#pragma once

#include "download/download_result.h"
#include "history/history_writer.h"

#include <QString>

namespace posflash {

// The history's record of a finished download, from the printer the engine aimed at: a
// device path stays itself beside the COM number the map gave it. The image path is made
// absolute, its symbolic links resolved while the file exists, and kept as bytes. The reason
// is the cause's text in English and in Chinese, with the system's words where there are any.
// frontEnd: "window", "line" or "cli".
HistoryRecord RecordOf(const DownloadResult& result, const QString& frontEnd,
                       const UnitStamp& unit = {});

// The absolute name of an image, as bytes: symbolic links (and /proc/self/fd/N) resolved
// when the file exists, else the name as given below the working folder.
QByteArray CanonicalImagePath(const QByteArray& name);

// Whether the attempt's printer received a frame, as its record tells (ReachedPrinter): one
// that did not is recorded but is no attempt of a unit.
bool ReachedPrinter(const DownloadResult& result);

// Whether a result belongs in the history: everything but a job refused because another one
// runs on that printer, which never touched it.
bool IsRecorded(const DownloadResult& result);

// The downloads of one front end, written on a thread of their own (HistoryWriter). What an
// earlier run left in the journal is added at once. Going away waits for every record to land
// and tells landed of those not told yet.
class DownloadHistory {
public:
    explicit DownloadHistory(QString frontEnd, QString filePath = HistoryStore::defaultPath(),
                             HistoryStore::Options options = {});
    ~DownloadHistory();

    // Returns at once: a history that cannot be written never fails a download.
    void record(const DownloadResult& result, const UnitStamp& unit = {});
    // Blocks until every record given has landed, and tells landed of them.
    void finish() { writer_.finish(); }

    // Where each record landed, on the thread that made this.
    std::function<void(const HistoryWrite&)>& landed() { return writer_.landed; }
    const QString& filePath() const { return writer_.filePath(); }
    // A record the caller takes over, to write it once it knows how it turned out (whether the
    // printer came back, whether a run counts it as pending): it returns true and the record
    // is not written here.
    std::function<bool(const DownloadResult&, const UnitStamp&)>& held() { return held_; }

private:
    QString frontEnd_;
    std::function<bool(const DownloadResult&, const UnitStamp&)> held_;
    HistoryWriter writer_;
};

} // namespace posflash
