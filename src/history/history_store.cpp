#include "history/history_store.h"

#include "history/history_journal.h"
#include "history/record_fields.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUuid>

#include <QVariant>
#include <initializer_list>

#include <cerrno>
#include <cstdio>

namespace posflash {
namespace {

Error historyError(int code, QString text, QString detail = {}) {
    return {code, std::move(text), std::move(detail), ErrorDomain::History};
}

// The schema, step by step: step 0 makes version 0, and step i brings a file of user_version
// i - 1 to i, inside one transaction with the version's update. A later column (the operator, the
// station) is a new step at the end; a step, once released, never changes.
Status createFirstTable(QSqlQuery& q);
Status ownColumnsAndUuids(QSqlQuery& q);
Status unitColumns(QSqlQuery& q);
Status shiftColumn(QSqlQuery& q);
Status recipeColumns(QSqlQuery& q);
Status recipeSequenceColumn(QSqlQuery& q);
using Step = Status (*)(QSqlQuery&);
constexpr Step kSteps[] = {createFirstTable, ownColumnsAndUuids, unitColumns,
                           shiftColumn,      recipeColumns,      recipeSequenceColumn};

Error queryError(const QSqlQuery& q) {
    return historyError(q.lastError().nativeErrorCode().toInt(), q.lastError().text(),
                        q.lastError().text());
}

Status run(QSqlQuery& q, const QString& statement) {
    if (q.exec(statement))
        return {};
    return queryError(q);
}

// Runs the statements in order, up to the first that fails.
Status runAll(QSqlQuery& q, std::initializer_list<const char*> statements) {
    for (const char* statement : statements)
        if (Status done = run(q, QString::fromLatin1(statement)); !done)
            return done;
    return {};
}

// Version 0: the table as the first releases made it (a file of theirs has no user_version).
Status createFirstTable(QSqlQuery& q) {
    return run(q, QStringLiteral(R"(CREATE TABLE IF NOT EXISTS downloads (
    id INTEGER PRIMARY KEY,
    started_at TEXT NOT NULL,
    duration_ms INTEGER NOT NULL,
    front_end TEXT NOT NULL,
    com_number INTEGER,
    device_node TEXT,
    ip TEXT,
    mac TEXT,
    usb_serial TEXT,
    file_path TEXT NOT NULL,
    file_size INTEGER,
    kind TEXT NOT NULL,
    crc16 INTEGER,
    frames INTEGER NOT NULL,
    retries INTEGER NOT NULL,
    result TEXT NOT NULL,
    reason TEXT))"));
}

// Version 1: the outcome and the cause in columns of their own, the reason in both languages,
// the USB path and the image's SHA-256, and a UUID on every row. file_path holds TEXT when the
// name is UTF-8, else its bytes as a BLOB. A reason of the old rows that is a cause code
// moves to the cause; any other text stays in reason.
Status ownColumnsAndUuids(QSqlQuery& q) {
    if (Status done = runAll(
            q,
            {
                "ALTER TABLE downloads RENAME COLUMN result TO outcome",
                "ALTER TABLE downloads ADD COLUMN uuid TEXT",
                "ALTER TABLE downloads ADD COLUMN usb_path TEXT",
                "ALTER TABLE downloads ADD COLUMN sha256 TEXT",
                "ALTER TABLE downloads ADD COLUMN cause TEXT",
                "ALTER TABLE downloads ADD COLUMN reason_en TEXT",
                "ALTER TABLE downloads ADD COLUMN reason_zh TEXT",
                // The codes the releases before this schema wrote.
                "UPDATE downloads SET cause = reason, reason = NULL WHERE reason IN ('cancelled', "
                "'stopped', 'printer-silent', 'printer-refused', 'wrong-frame-number', "
                "'disconnected', 'port-missing', 'port-busy', 'permission', 'bind-refused', "
                "'link-timeout', 'printer-absent', 'address-missing', 'bad-address', "
                "'file-name-too-long', 'monitor-unreachable', 'file-not-open', 'bad-trailer', "
                "'too-large', 'empty-image', 'busy')",
            });
        !done)
        return done;
    std::vector<qint64> ids;
    if (Status done = run(q, "SELECT id FROM downloads"); !done)
        return done;
    while (q.next())
        ids.push_back(q.value(0).toLongLong());
    for (const qint64 id : ids) {
        q.prepare("UPDATE downloads SET uuid = ? WHERE id = ?");
        q.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
        q.addBindValue(id);
        if (!q.exec())
            return queryError(q);
    }
    return run(q, "CREATE UNIQUE INDEX downloads_uuid ON downloads(uuid)");
}

// Version 2: the operator, the station, the unit's label, and the unit (a UUID shared by the
// attempts of one printer's update) with the attempt's number. Older rows keep NULL there.
Status unitColumns(QSqlQuery& q) {
    return runAll(q, {
                         "ALTER TABLE downloads ADD COLUMN operator TEXT",
                         "ALTER TABLE downloads ADD COLUMN station TEXT",
                         "ALTER TABLE downloads ADD COLUMN label TEXT",
                         "ALTER TABLE downloads ADD COLUMN unit TEXT",
                         "ALTER TABLE downloads ADD COLUMN attempt INTEGER",
                         "CREATE INDEX downloads_unit ON downloads(unit)",
                     });
}

// Version 3: the production window's shift id. Older rows keep NULL there.
Status shiftColumn(QSqlQuery& q) {
    return runAll(q, {
                         "ALTER TABLE downloads ADD COLUMN shift TEXT",
                         "CREATE INDEX downloads_shift ON downloads(shift)",
                     });
}

// Version 4: the line recipe a unit ran under. Older rows keep NULL there: no recipe.
Status recipeColumns(QSqlQuery& q) {
    return runAll(q, {
                         "ALTER TABLE downloads ADD COLUMN recipe TEXT",
                         "ALTER TABLE downloads ADD COLUMN recipe_sha256 TEXT",
                         "ALTER TABLE downloads ADD COLUMN recipe_key TEXT",
                         "ALTER TABLE downloads ADD COLUMN mode TEXT",
                     });
}

// Version 5: the recipe's signed sequence, so that the records say which approval of the name
// a printer received. Older rows keep NULL there.
Status recipeSequenceColumn(QSqlQuery& q) {
    return run(q, QStringLiteral("ALTER TABLE downloads ADD COLUMN recipe_sequence INTEGER"));
}

// The columns of this build's records, in the order of the fields.
QString columnList() {
    QStringList columns;
    for (const RecordField& field : RecordFields())
        columns << QLatin1String(field.local);
    return columns.join(QStringLiteral(", "));
}

Error sqlError(const QString& path, const QSqlError& error) {
    return historyError(error.nativeErrorCode().toInt(),
                        QStringLiteral("%1: %2").arg(path, error.text()), error.text());
}

} // namespace

int HistoryStore::schemaVersion() {
    return static_cast<int>(std::size(kSteps)) - 1;
}

const QStringList& HistoryStore::frontEnds() {
    static const QStringList values{"window", "line", "cli"};
    return values;
}

const QStringList& HistoryStore::kinds() {
    static const QStringList values{"program", "font"};
    return values;
}

const QStringList& HistoryStore::outcomes() {
    static const QStringList values{"completed", "failed", "cancelled", "refused"};
    return values;
}

const QStringList& HistoryStore::modes() {
    static const QStringList values{"production", "engineering"};
    return values;
}

QString HistoryStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/posflash/history.db");
}

QString HistoryStore::journalPathOf(const QString& filePath) {
    // Not history.db-journal: SQLite's own rollback journal has that name.
    QString path = filePath;
    if (path.endsWith(QLatin1String(".db")))
        path.chop(3);
    return path + QStringLiteral(".pending");
}

HistoryStore::HistoryStore(QString filePath) : HistoryStore(std::move(filePath), Options{}) {}

HistoryStore::HistoryStore(QString filePath, Options options)
    : filePath_(std::move(filePath)), options_(std::move(options)),
      connection_("posflash-history", this) {}

HistoryStore::~HistoryStore() = default;

Status HistoryStore::connect(bool readOnly) {
    if (QSqlDatabase::contains(connection_))
        return {};
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    if (!db.isValid())
        return historyError(
            0, QStringLiteral("%1: the SQLite driver of Qt SQL is not installed").arg(filePath_));
    db.setDatabaseName(filePath_);
    if (readOnly)
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    return {};
}

Status HistoryStore::openExisting(Access access) {
    if (Status connected = connect(access == Access::ReadOnly); !connected)
        return connected;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (db.isOpen())
        return {};
    // SQLite makes a missing file on open: this path leaves that to open().
    if (!QFileInfo::exists(filePath_))
        return SystemError(ENOENT, filePath_);
    if (!db.open())
        return sqlError(filePath_, db.lastError());
    setBusyWait(db);
    return {};
}

Status HistoryStore::open() {
    if (ready_)
        return {};
    if (Status connected = connect(false); !connected)
        return connected;
    const QString folder = QFileInfo(filePath_).absolutePath();
    if (!QDir().mkpath(folder))
        return historyError(0, QStringLiteral("%1: cannot make the folder").arg(filePath_));
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.isOpen() && !db.open())
        return sqlError(filePath_, db.lastError());
    setBusyWait(db);
    QSqlQuery q(db);
    // IMMEDIATE: two processes that find an old file migrate it one after the other, the
    // second finding it done.
    Status migrated = run(q, QStringLiteral("BEGIN IMMEDIATE"));
    int version = 0;
    if (migrated)
        migrated = run(q, QStringLiteral("PRAGMA user_version"));
    if (migrated && q.next())
        version = q.value(0).toInt();
    // A newer file (a later release's) only has columns added: this build writes and reads
    // its own.
    for (int step = version == 0 ? 0 : version + 1;
         migrated && step < static_cast<int>(std::size(kSteps)); ++step) {
        migrated = kSteps[step](q);
        if (migrated)
            migrated = run(q, QStringLiteral("PRAGMA user_version = %1").arg(step));
    }
    if (migrated)
        migrated = run(q, QStringLiteral("COMMIT"));
    if (!migrated) {
        // A corrupt or locked file fails here; the next write tries afresh.
        q.exec(QStringLiteral("ROLLBACK"));
        q.finish();
        db.close();
        patient_ = false;
        return WithContext(migrated.error(), filePath_);
    }
    ready_ = true;
    return {};
}

void HistoryStore::setBusyWait(QSqlDatabase& db) {
    QSqlQuery(db).exec(
        QStringLiteral("PRAGMA busy_timeout = %1").arg(patient_ ? options_.busyTimeoutMs : 0));
}

Status HistoryStore::insert(const std::vector<HistoryRecord>& records) {
    if (Status opened = open(); !opened)
        return opened;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    setBusyWait(db);
    QSqlQuery query(db);
    // IMMEDIATE takes the write lock at once, so a second writer waits at the start for the
    // busy timeout instead of failing half-way.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        patient_ = false;
        return sqlError(filePath_, query.lastError());
    }
    // OR IGNORE: a record of the journal may have been committed by a replay cut short.
    const std::span<const RecordField> fields = RecordFields();
    query.prepare(
        QStringLiteral("INSERT OR IGNORE INTO downloads (%1) VALUES (%2)")
            .arg(columnList(),
                 QStringList(fields.size(), QStringLiteral("?")).join(QStringLiteral(", "))));
    bool ok = true;
    for (const HistoryRecord& r : records) {
        for (size_t i = 0; i < fields.size(); ++i)
            query.bindValue(static_cast<int>(i), StoredValue(fields[i], r));
        if (!(ok = query.exec()))
            break;
    }
    if (!ok || !query.exec(QStringLiteral("COMMIT"))) {
        const QSqlError error = query.lastError();
        query.exec(QStringLiteral("ROLLBACK"));
        patient_ = false;
        return sqlError(filePath_, error);
    }
    patient_ = true;
    return {};
}

Status HistoryStore::replayJournal() {
    HistoryJournal::Limits limits;
    limits.batchRows = options_.replayBatchRows;
    const HistoryJournal journal(journalPath());
    const Result<qint64> rejected = journal.replay(
        limits, [this, committed = 0](const std::vector<HistoryRecord>& batch) mutable -> Status {
            if (Status done = insert(batch); !done)
                return done;
            committed += static_cast<int>(batch.size());
            if (options_.replayBatchCommitted)
                options_.replayBatchCommitted(committed);
            return {};
        });
    if (!rejected)
        return rejected.error();
    if (*rejected > 0) {
        const QString text =
            *rejected == 1
                ? QStringLiteral("1 line of %1 was no history record; it was moved to %2")
                      .arg(journal.path(), journal.rejectedPath())
                : QStringLiteral("%1 lines of %2 were no history records; they were moved to %3")
                      .arg(QString::number(*rejected), journal.path(), journal.rejectedPath());
        if (options_.warned)
            options_.warned(text);
        else
            std::fprintf(stderr, "%s: warning: %s\n",
                         qPrintable(QCoreApplication::applicationName()), qPrintable(text));
    }
    return {};
}

HistoryWrite HistoryStore::add(HistoryRecord record) {
    if (record.uuid.isEmpty())
        record.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    HistoryWrite write{HistoryWrite::Place::Database, record.uuid, {}};
    // The journal's records are older: they go first. A replay that fails leaves them there
    // for the next write.
    Status stored = replayJournal();
    if (stored)
        stored = insert({record});
    if (stored)
        return write;
    write.place = HistoryWrite::Place::Journal;
    write.why = stored.error();
    if (Status kept = HistoryJournal(journalPath()).append(record); !kept) {
        write.place = HistoryWrite::Place::Nowhere;
        write.why.text += QStringLiteral("; ") + kept.error().text;
    }
    return write;
}

Result<std::vector<HistoryRecord>> HistoryStore::recent(int limit) {
    HistoryFilter all;
    all.limit = limit;
    return find(all);
}

Result<std::vector<HistoryRecord>> HistoryStore::find(const HistoryFilter& filter) {
    if (const Status opened = open(); !opened)
        return opened.error();
    QStringList where;
    QVariantList values;
    const auto equal = [&](const char* column, const QString& value) {
        if (value.isEmpty())
            return;
        where << QStringLiteral("%1 = ?").arg(QLatin1String(column));
        values << value;
    };
    equal("operator", filter.operatorName);
    equal("station", filter.station);
    equal("label", filter.label);
    equal("outcome", filter.outcome);
    equal("shift", filter.shift);
    equal("sha256", filter.sha256);
    // A download without a recipe ran as every download did before recipes: in production.
    if (filter.mode == QLatin1String("engineering"))
        where << QStringLiteral("mode = 'engineering'");
    else if (!filter.mode.isEmpty())
        where << QStringLiteral("(mode IS NULL OR mode <> 'engineering')");
    // The start times are UTC text of one form: they compare as they sort.
    if (filter.since.isValid()) {
        where << QStringLiteral("started_at >= ?");
        values << StoredTime(filter.since);
    }
    if (filter.until.isValid()) {
        where << QStringLiteral("started_at < ?");
        values << StoredTime(filter.until);
    }
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT %1 FROM downloads %2 ORDER BY started_at DESC, id DESC "
                                 "LIMIT ?")
                      .arg(columnList(), where.isEmpty()
                                             ? QString()
                                             : QStringLiteral("WHERE ") + where.join(" AND ")));
    for (const QVariant& value : values)
        query.addBindValue(value);
    query.addBindValue(filter.limit > 0 ? filter.limit : -1);
    if (!query.exec())
        return sqlError(filePath_, query.lastError());
    std::vector<HistoryRecord> records;
    while (query.next()) {
        HistoryRecord r;
        for (size_t i = 0; i < RecordFields().size(); ++i)
            SetStored(RecordFields()[i], r, query.value(static_cast<int>(i)));
        records.push_back(std::move(r));
    }
    return records;
}

} // namespace posflash
