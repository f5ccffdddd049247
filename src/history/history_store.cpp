#include "history/history_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

namespace posflash {
namespace {

constexpr const char* kCreateTable = R"(CREATE TABLE IF NOT EXISTS downloads (
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
    reason TEXT))";

constexpr const char* kColumns = "started_at, duration_ms, front_end, com_number, device_node, ip, "
                                 "mac, usb_serial, file_path, file_size, kind, crc16, frames, "
                                 "retries, result, reason";

// An absent value is stored as NULL, so that the file reads plainly in any SQLite tool.
QVariant orNull(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}
QVariant orNull(qint64 number, qint64 absent) {
    return number == absent ? QVariant() : QVariant(number);
}

// Start times are kept in UTC with milliseconds: as text they sort in time order.
QString timeText(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs);
}

Error sqlError(const QString& path, const QSqlError& error) {
    return Error{error.nativeErrorCode().toInt(), QStringLiteral("%1: %2").arg(path, error.text()),
                 error.text()};
}

} // namespace

QString HistoryStore::defaultPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/posflash/history.db");
}

HistoryStore::HistoryStore(QString filePath)
    : filePath_(std::move(filePath)),
      // Connections are named process-wide; the address is unique among living stores.
      connection_(
          QStringLiteral("posflash-history-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)) {}

HistoryStore::~HistoryStore() {
    if (!QSqlDatabase::contains(connection_))
        return;
    // Every handle on the connection must be gone before it is removed.
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

Status HistoryStore::open() {
    if (ready_)
        return {};
    if (!QSqlDatabase::contains(connection_)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        if (!db.isValid())
            return Error{
                0,
                QStringLiteral("%1: the SQLite driver of Qt SQL is not installed").arg(filePath_)};
        db.setDatabaseName(filePath_);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    }
    const QString folder = QFileInfo(filePath_).absolutePath();
    if (!QDir().mkpath(folder))
        return Error{0, QStringLiteral("%1: cannot make the folder").arg(filePath_)};
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    if (!db.isOpen() && !db.open())
        return sqlError(filePath_, db.lastError());
    QSqlQuery create(db);
    if (!create.exec(QString::fromLatin1(kCreateTable))) {
        // A corrupt file fails here; the next write tries afresh.
        const QSqlError error = create.lastError();
        create.finish();
        db.close();
        return sqlError(filePath_, error);
    }
    ready_ = true;
    return {};
}

Status HistoryStore::add(const HistoryRecord& r) {
    if (Status opened = open(); !opened)
        return opened;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery query(db);
    // IMMEDIATE takes the write lock at once, so a second writer waits at the start for the
    // busy timeout instead of failing half-way.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return sqlError(filePath_, query.lastError());
    query.prepare(QStringLiteral("INSERT INTO downloads (%1) VALUES "
                                 "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                      .arg(QString::fromLatin1(kColumns)));
    const QVariantList values{timeText(r.startedAt),
                              r.milliseconds,
                              r.frontEnd,
                              orNull(r.comNumber, 0),
                              orNull(r.deviceNode),
                              orNull(r.ip),
                              orNull(r.mac),
                              orNull(r.usbSerial),
                              r.filePath,
                              orNull(r.fileSize, -1),
                              r.kind,
                              orNull(r.crc16, -1),
                              r.frames,
                              r.retries,
                              r.result,
                              orNull(r.reason)};
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec() || !query.exec(QStringLiteral("COMMIT"))) {
        const QSqlError error = query.lastError();
        query.exec(QStringLiteral("ROLLBACK"));
        return sqlError(filePath_, error);
    }
    return {};
}

Result<std::vector<HistoryRecord>> HistoryStore::recent(int limit) {
    if (const Status opened = open(); !opened)
        return opened.error();
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.prepare(QStringLiteral("SELECT %1 FROM downloads ORDER BY started_at DESC, id DESC "
                                 "LIMIT ?")
                      .arg(QString::fromLatin1(kColumns)));
    query.addBindValue(limit > 0 ? limit : -1);
    if (!query.exec())
        return sqlError(filePath_, query.lastError());
    std::vector<HistoryRecord> records;
    while (query.next()) {
        HistoryRecord r;
        r.startedAt = QDateTime::fromString(query.value(0).toString(), Qt::ISODateWithMs);
        r.milliseconds = query.value(1).toLongLong();
        r.frontEnd = query.value(2).toString();
        r.comNumber = query.value(3).isNull() ? 0 : query.value(3).toInt();
        r.deviceNode = query.value(4).toString();
        r.ip = query.value(5).toString();
        r.mac = query.value(6).toString();
        r.usbSerial = query.value(7).toString();
        r.filePath = query.value(8).toString();
        r.fileSize = query.value(9).isNull() ? -1 : query.value(9).toLongLong();
        r.kind = query.value(10).toString();
        r.crc16 = query.value(11).isNull() ? -1 : query.value(11).toInt();
        r.frames = query.value(12).toInt();
        r.retries = query.value(13).toInt();
        r.result = query.value(14).toString();
        r.reason = query.value(15).toString();
        records.push_back(std::move(r));
    }
    return records;
}

} // namespace posflash
