#pragma once

#include "base/error.h"
#include "base/printer.h"
#include "history/sql_connection.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QSqlDatabase;

namespace posflash {

// Which approval a unit ran under: the line recipe's name, the recipe file's SHA-256 (lower-case
// hex), the signer's key id (as minisign prints it) and its mode ("production" or
// "engineering") and its signed sequence. All empty (the sequence -1) for a run without a
// recipe.
struct RecipeStamp {
    QString name;
    QString sha256;
    QString keyId;
    QString mode;
    qint64 sequence = -1;
};

// Who ran a download and where, the unit's scanned label, and the unit: the UUID its attempts
// share and this attempt's number (from 1; 0 in records from before units). All empty outside a
// unit run.
struct UnitStamp {
    QString operatorName;
    QString station;
    QString label;
    QString unit;
    int attempt = 0;
    // The production window's shift (a UUID), so that a shift can be found again; empty
    // elsewhere and in records from before shifts.
    QString shift{};
    // The recipe the unit ran under (RecipeStamp); empty without one and in older records.
    QString recipe{};
    QString recipeSha256{};
    QString recipeKey{};
    QString mode{};
    // The recipe's signed sequence: which approval of its name; -1 without a recipe.
    qint64 recipeSequence{-1};

    void setRecipe(const RecipeStamp& stamp) {
        recipe = stamp.name;
        recipeSha256 = stamp.sha256;
        recipeKey = stamp.keyId;
        mode = stamp.mode;
        recipeSequence = stamp.sequence;
    }
};

// One download as the history keeps it, with the unit it belongs to.
struct HistoryRecord : UnitStamp {
    // Made when the record is first written (a later sync to the line's database goes by it).
    QString uuid;
    QDateTime startedAt;
    qint64 milliseconds = 0;
    QString frontEnd; // "window", "line" or "cli"
    // The printer as its download had it: its columns are the value's own fields.
    Printer printer;
    // The image: its absolute path as the bytes the file system knows (symbolic links resolved
    // where the file exists), its length and SHA-256 (32 bytes) when it was read.
    QByteArray filePath;
    qint64 fileSize = -1; // -1: the file was never read
    QByteArray sha256;
    QString kind;   // "program" or "font"
    int crc16 = -1; // -1: no start frame was built
    int frames = 0;
    int retries = 0;
    QString outcome; // "completed", "failed", "cancelled", "refused"
    QString cause;   // the stable cause code ("printer-silent"); empty when completed
    QString reasonEn;
    QString reasonZh;
    // A reason text of a file from before the cause had its own column, in the language that
    // run used; empty in newer records.
    QString legacyReason;
};

// Which records a listing gives: every condition set must hold. Times compare with the start.
struct HistoryFilter {
    QString operatorName;
    QString station;
    QString label;
    QString outcome;
    QString shift;
    QString sha256; // the image's SHA-256 in lower-case hex
    // "engineering": run under an engineering recipe; "production": every other download (under
    // a production recipe or none, as before recipes); empty: both.
    QString mode;
    QDateTime since; // from this instant on, when valid
    QDateTime until; // before this instant, when valid
    int limit = 0;   // the newest this many; all when <= 0
};

// Where a write landed.
struct HistoryWrite {
    enum class Place {
        Database,
        Journal, // kept beside the database until a later write or start adds it
        Nowhere, // neither the database nor the journal could be written
    };
    Place place = Place::Database;
    QString uuid;
    // Place::Journal: why the database was not written; Place::Nowhere: the journal's trouble
    // too.
    Error why;
};

// The download history: an SQLite file that the window and the command-line tool of every
// process append to. Each write is its own transaction and waits a while for a writer of
// another process, so that both land. A record the database does not take (locked too long,
// read-only, full, corrupt) goes to a journal beside it (history.pending), which the next write
// or start adds to the database exactly once: rows carry their UUID. Nothing here throws.
// A store belongs to the thread that uses it: Qt SQL connections do not cross threads.
class HistoryStore {
public:
    // The schema this build writes (PRAGMA user_version).
    static int schemaVersion();
    // The only values of the closed fields: what reads a record from outside (the journal, the
    // command line's filters) holds it to these.
    static const QStringList& frontEnds();
    static const QStringList& kinds();
    static const QStringList& outcomes();
    static const QStringList& modes(); // a recipe's: "production", "engineering"

    struct Options {
        // How long a write waits for another process's write to end. Once a wait has run out,
        // the store's later writes try without waiting, until one lands: the journal keeps
        // them, and a locked history costs a caller one wait, not one a record.
        int busyTimeoutMs = 5000;
        // Journal rows added per transaction: a replay cut short keeps what it committed.
        int replayBatchRows = 50;
        // Told after each batch of a replay is committed, with the rows committed so far.
        std::function<void(int)> replayBatchCommitted;
        // Told once a replay when it moved lines it could not read aside; on standard error
        // unless set.
        std::function<void(const QString&)> warned;
    };

    // $XDG_DATA_HOME/posflash/history.db (usually ~/.local/share/posflash/history.db).
    static QString defaultPath();
    // The journal of the history at filePath: the same path with ".pending" for ".db".
    static QString journalPathOf(const QString& filePath);

    explicit HistoryStore(QString filePath = defaultPath());
    HistoryStore(QString filePath, Options options);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Writes the record (its UUID made when empty) to the database, else to the journal;
    // the journal's records go first.
    HistoryWrite add(HistoryRecord record);
    // Adds the journal's records to the database and empties it. Nothing to do, or another
    // process at it already, is success.
    Status replayJournal();
    // The newest limit records (all when limit <= 0), newest first.
    Result<std::vector<HistoryRecord>> recent(int limit);
    // The records the filter lets through, newest first.
    Result<std::vector<HistoryRecord>> find(const HistoryFilter& filter);

    const QString& filePath() const { return filePath_; }
    QString journalPath() const { return journalPathOf(filePath_); }

    // For a part that keeps its own tables beside the downloads (the records sync's marks), or
    // only reads: the store's connection to a file that exists, opened with the store's wait
    // for another process's lock, as it stands: it never makes the file nor brings its schema
    // up to date. Use it through connectionName() on the store's thread only.
    enum class Access { ReadWrite, ReadOnly };
    Status openExisting(Access access);
    const QString& connectionName() const { return connection_.name(); }

private:
    // Opens the file and brings its schema up to date on first use; the file is not touched
    // before that.
    Status open();
    // Adds the connection and names the file; readOnly only takes effect before the first open.
    Status connect(bool readOnly);
    Status insert(const std::vector<HistoryRecord>& records);
    // Sets the connection's wait for another process's lock: none after a wait ran out.
    void setBusyWait(QSqlDatabase& db);

    QString filePath_;
    Options options_;
    SqlConnection connection_;
    bool ready_ = false;
    bool patient_ = true; // no wait has run out since the last write that landed
};

} // namespace posflash
