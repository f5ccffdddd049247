#include "records/sync_marks.h"

#include "records/central_schema.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace posflash {
namespace {

QString now() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

// The local history's trouble, in the system's or SQLite's own words where there are some.
Error localFailure(const QString& path, const Error& error) {
    return RecordsFailure(records_trouble::kLocal,
                          QStringLiteral("the local history %1: %2")
                              .arg(path, error.detail.isEmpty() ? error.text : error.detail));
}

} // namespace

SyncMarks::SyncMarks(QString historyPath) : history_(std::move(historyPath)) {}

SyncMarks::~SyncMarks() = default;

Error SyncMarks::localError(const QString& what) const {
    return localFailure(history_.filePath(), {0, what});
}

QSqlDatabase SyncMarks::db() const {
    return QSqlDatabase::database(history_.connectionName(), false);
}

Status SyncMarks::open() {
    if (Status opened = history_.openExisting(HistoryStore::Access::ReadWrite); !opened)
        return localFailure(history_.filePath(), opened.error());
    QSqlQuery q(db());
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS synced (uuid TEXT PRIMARY KEY, "
                               "at TEXT NOT NULL)")) ||
        !q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS set_aside (uuid TEXT PRIMARY KEY, "
                               "at TEXT NOT NULL, rules TEXT NOT NULL, message TEXT NOT NULL)")) ||
        !q.exec(QStringLiteral("PRAGMA table_info(downloads)")))
        return localError(q.lastError().text());
    QStringList present;
    while (q.next())
        present << q.value(1).toString();
    columns_.clear();
    for (const RecordColumn& column : RecordColumns())
        if (present.contains(QString::fromLatin1(column.local)))
            columns_ << QString::fromLatin1(column.local);
    return {};
}

Result<std::vector<PendingRow>> SyncMarks::next(int limit) {
    std::vector<PendingRow> rows;
    if (columns_.isEmpty())
        return rows; // no downloads table yet
    QSqlQuery read(db());
    read.prepare(QStringLiteral("SELECT %1 FROM downloads d WHERE d.uuid IS NOT NULL AND NOT "
                                "EXISTS (SELECT 1 FROM synced s WHERE s.uuid = d.uuid) AND NOT "
                                "EXISTS (SELECT 1 FROM set_aside a WHERE a.uuid = d.uuid) "
                                "ORDER BY d.id LIMIT ?")
                     .arg(columns_.join(QStringLiteral(", "))));
    read.addBindValue(limit);
    if (!read.exec())
        return localError(read.lastError().text());
    const auto uuidAt = columns_.indexOf(QStringLiteral("uuid"));
    const auto labelAt = columns_.indexOf(QStringLiteral("label"));
    while (read.next()) {
        PendingRow row;
        for (int i = 0; i < columns_.size(); ++i)
            row.values << read.value(i);
        row.uuid = row.values[uuidAt].toString();
        if (labelAt >= 0)
            row.label = row.values[labelAt].toString();
        rows.push_back(std::move(row));
    }
    return rows;
}

Status SyncMarks::markSent(const std::vector<const PendingRow*>& rows) {
    QSqlDatabase db = this->db();
    if (!db.transaction())
        return localError(db.lastError().text());
    QSqlQuery mark(db);
    mark.prepare(QStringLiteral("INSERT OR IGNORE INTO synced (uuid, at) VALUES (?, ?)"));
    const QString at = now();
    for (const PendingRow* row : rows) {
        mark.addBindValue(row->uuid);
        mark.addBindValue(at);
        if (!mark.exec()) {
            const QString why = mark.lastError().text();
            db.rollback();
            return localError(why);
        }
    }
    if (!db.commit()) {
        const QString why = db.lastError().text();
        db.rollback();
        return localError(why);
    }
    return {};
}

Status SyncMarks::setAside(const PendingRow& row, const QString& rules, const QString& message) {
    QSqlQuery q(db());
    q.prepare(QStringLiteral("INSERT OR REPLACE INTO set_aside (uuid, at, rules, message) VALUES "
                             "(?, ?, ?, ?)"));
    q.addBindValue(row.uuid);
    q.addBindValue(now());
    q.addBindValue(rules);
    q.addBindValue(message);
    if (!q.exec())
        return localError(q.lastError().text());
    return {};
}

Result<int> SyncMarks::release(const QString& rules) {
    QSqlQuery q(db());
    q.prepare(QStringLiteral("DELETE FROM set_aside WHERE rules <> ?"));
    q.addBindValue(rules);
    if (!q.exec())
        return localError(q.lastError().text());
    return q.numRowsAffected();
}

int SyncMarks::setAsideCount() {
    QSqlQuery q(db());
    return q.exec(QStringLiteral("SELECT count(*) FROM set_aside")) && q.next() ? q.value(0).toInt()
                                                                                : 0;
}

Result<SyncState> SyncMarks::State(const QString& historyPath) {
    SyncState state;
    if (!QFileInfo::exists(historyPath))
        return state;
    HistoryStore history(historyPath);
    if (Status opened = history.openExisting(HistoryStore::Access::ReadOnly); !opened)
        return localFailure(historyPath, opened.error());
    const auto failed = [&historyPath](const QString& why) {
        return localFailure(historyPath, {0, why});
    };
    QSqlQuery q(QSqlDatabase::database(history.connectionName(), false));
    const auto has = [&q](const char* table) {
        q.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"));
        q.addBindValue(QString::fromLatin1(table));
        return q.exec() && q.next();
    };
    if (!has("downloads"))
        return state;
    const bool synced = has("synced");
    const bool aside = has("set_aside");
    const QString counts =
        QStringLiteral("SELECT count(*), %1, %2 FROM downloads d WHERE d.uuid IS NOT NULL")
            .arg(synced ? QStringLiteral("count(*) FILTER (WHERE EXISTS (SELECT 1 FROM "
                                         "synced s WHERE s.uuid = d.uuid))")
                        : QStringLiteral("0"),
                 aside ? QStringLiteral("count(*) FILTER (WHERE EXISTS (SELECT 1 FROM "
                                        "set_aside a WHERE a.uuid = d.uuid))")
                       : QStringLiteral("0"));
    if (!q.exec(counts) || !q.next())
        return failed(q.lastError().text());
    state.records = q.value(0).toInt();
    state.sent = q.value(1).toInt();
    state.waiting = state.records - state.sent - q.value(2).toInt();
    if (!aside)
        return state;
    if (!q.exec(QStringLiteral("SELECT a.uuid, d.started_at, d.label, a.at, a.message FROM "
                               "set_aside a JOIN downloads d ON d.uuid = a.uuid ORDER BY d.id")))
        return failed(q.lastError().text());
    while (q.next())
        state.setAside.push_back({q.value(0).toString(), q.value(1).toString(),
                                  q.value(2).toString(), q.value(3).toString(),
                                  q.value(4).toString()});
    return state;
}

} // namespace posflash
