#pragma once

#include "base/error.h"

#include <QDateTime>
#include <QString>

#include <vector>

namespace posflash {

// One download as the history keeps it.
struct HistoryRecord {
    QDateTime startedAt;
    qint64 milliseconds = 0;
    QString frontEnd; // "window" or "cli"
    // The target: a COM number and its device node, or an IP and a MAC address.
    int comNumber = 0;
    QString deviceNode;
    QString ip;
    QString mac;
    QString usbSerial; // the printer's USB serial number, when known
    QString filePath;
    qint64 fileSize = -1; // -1: the file was never read
    QString kind;         // "program" or "font"
    int crc16 = -1;       // -1: no start frame was built
    int frames = 0;
    int retries = 0;
    QString result; // "completed", "failed", "cancelled", "refused"
    QString reason;
};

// The download history: an SQLite file that the window and the command-line tool of every
// process append to. Each write is its own transaction and waits a while for a writer of
// another process, so that both land. Any trouble with the file (locked too long, read-only,
// full, corrupt) comes back as an Error, with SQLite's own message as its detail, for the
// caller to warn about; it never throws.
// A store belongs to the thread that uses it: Qt SQL connections do not cross threads.
class HistoryStore {
public:
    // How long a write waits for another process's write to end.
    static constexpr int kBusyTimeoutMs = 5000;

    // $XDG_DATA_HOME/posflash/history.db (usually ~/.local/share/posflash/history.db).
    static QString defaultPath();

    explicit HistoryStore(QString filePath = defaultPath());
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    Status add(const HistoryRecord& record);
    // The newest limit records (all when limit <= 0), newest first.
    Result<std::vector<HistoryRecord>> recent(int limit);

    const QString& filePath() const { return filePath_; }

private:
    // Opens the file and makes its table on first use; the file is not touched before that.
    Status open();

    QString filePath_;
    QString connection_;
    bool ready_ = false;
};

} // namespace posflash
