#include "records/records_sync.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>

namespace posflash {
namespace {

// The local file waits this long for a writer of another process before a mark fails.
constexpr int kLocalBusyMs = 5000;

RecordsError localError(const QString& path, const QSqlError& error) {
    return {RecordsTrouble::Local,
            QStringLiteral("the local history %1: %2").arg(path, error.text())};
}

QString placeholders(int count) {
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
}

// A local value as the line's column takes it: the path's bytes whether SQLite kept TEXT or a
// BLOB.
QVariant centralValue(const QString& localColumn, const QVariant& value) {
    if (localColumn == QLatin1String("file_path") && !value.isNull())
        return value.typeId() == QMetaType::QByteArray ? value.toByteArray()
                                                       : value.toString().toUtf8();
    return value;
}

} // namespace

RecordsSync::RecordsSync(RecordsAddress address, QString historyPath, Options options)
    : address_(std::move(address)), historyPath_(std::move(historyPath)),
      options_(std::move(options)),
      localName_(
          QStringLiteral("posflash-synced-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)) {}

RecordsSync::~RecordsSync() {
    if (!QSqlDatabase::contains(localName_))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(localName_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(localName_);
}

// Opens the local file (never making one), keeps the sent-marks table, and names the columns
// of the history this file has: an older file lacks the newer ones.
std::optional<RecordsError> RecordsSync::openLocal(QStringList& columns) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), localName_);
    db.setDatabaseName(historyPath_);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kLocalBusyMs));
    if (!db.open())
        return localError(historyPath_, db.lastError());
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS synced (uuid TEXT PRIMARY KEY, "
                               "at TEXT NOT NULL)")) ||
        !q.exec(QStringLiteral("PRAGMA table_info(downloads)")))
        return localError(historyPath_, q.lastError());
    QStringList present;
    while (q.next())
        present << q.value(1).toString();
    for (const RecordColumn& column : RecordColumns())
        if (present.contains(QString::fromLatin1(column.local)))
            columns << QString::fromLatin1(column.local);
    return std::nullopt;
}

SyncOutcome RecordsSync::pass() {
    SyncOutcome outcome;
    // The server first, with nothing to send too: a wrong address is told at once.
    CentralConnection central(address_);
    if (auto trouble = central.open()) {
        outcome.error = *trouble;
        return outcome;
    }
    if (auto trouble = CheckCentralSchema(central.database())) {
        outcome.error = *trouble;
        return outcome;
    }
    if (options_.connected)
        options_.connected();
    if (!QFileInfo::exists(historyPath_))
        return outcome; // nothing recorded yet on this station
    QStringList localColumns;
    if (auto trouble = openLocal(localColumns)) {
        outcome.error = *trouble;
        return outcome;
    }
    if (localColumns.isEmpty())
        return outcome; // a file with no downloads table yet
    QStringList centralColumns;
    for (const RecordColumn& column : RecordColumns())
        if (localColumns.contains(QString::fromLatin1(column.local)))
            centralColumns << QString::fromLatin1(column.central);
    centralColumns << QStringLiteral("sent_from");
    const QString sentFrom = QSysInfo::machineHostName();

    QSqlDatabase local = QSqlDatabase::database(localName_, false);
    QSqlQuery read(local);
    QSqlQuery mark(local);
    QSqlQuery insert(central.database());
    const int uuidAt = static_cast<int>(localColumns.indexOf(QStringLiteral("uuid")));
    for (;;) {
        read.prepare(QStringLiteral("SELECT %1 FROM downloads d WHERE d.uuid IS NOT NULL AND NOT "
                                    "EXISTS (SELECT 1 FROM synced s WHERE s.uuid = d.uuid) "
                                    "ORDER BY d.id LIMIT ?")
                         .arg(localColumns.join(QStringLiteral(", "))));
        read.addBindValue(options_.batchRows);
        if (!read.exec()) {
            outcome.error = localError(historyPath_, read.lastError());
            return outcome;
        }
        QVariantList values;
        QStringList uuids;
        while (read.next()) {
            for (int i = 0; i < localColumns.size(); ++i)
                values << centralValue(localColumns[i], read.value(i));
            values << sentFrom;
            uuids << read.value(uuidAt).toString();
        }
        read.finish();
        if (uuids.isEmpty())
            return outcome;

        QStringList rows;
        for (int i = 0; i < uuids.size(); ++i)
            rows << placeholders(static_cast<int>(centralColumns.size()));
        QSqlDatabase db = central.database();
        if (!db.transaction()) {
            outcome.error = CentralError(db.lastError(), QStringLiteral("cannot begin"));
            return outcome;
        }
        insert.prepare(
            QStringLiteral("INSERT INTO posflash_records (%1) VALUES %2 ON CONFLICT "
                           "(id) DO NOTHING")
                .arg(centralColumns.join(QStringLiteral(", ")), rows.join(QStringLiteral(", "))));
        for (int i = 0; i < values.size(); ++i)
            insert.bindValue(i, values[i]);
        if (!insert.exec() || !db.commit()) {
            outcome.error =
                CentralError(insert.lastError().isValid() ? insert.lastError() : db.lastError(),
                             QStringLiteral("cannot send the records"));
            db.rollback();
            return outcome;
        }
        insert.finish();

        // Only now: a mark before the line's commit could lose a row.
        const QString at = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
        bool marked = local.transaction();
        mark.prepare(QStringLiteral("INSERT OR IGNORE INTO synced (uuid, at) VALUES (?, ?)"));
        for (const QString& uuid : uuids) {
            if (!marked)
                break;
            mark.addBindValue(uuid);
            mark.addBindValue(at);
            marked = mark.exec();
        }
        if (!marked || !local.commit()) {
            outcome.error = localError(historyPath_, marked ? local.lastError() : mark.lastError());
            local.rollback();
            return outcome;
        }
        outcome.sent += static_cast<int>(uuids.size());
        if (options_.batchSent)
            options_.batchSent(outcome.sent);
    }
}

Result<std::vector<HistoryRecord>> CentralRecords(const RecordsAddress& address, int limit) {
    CentralConnection central(address);
    const auto failed = [](const RecordsError& e) {
        return Error{static_cast<int>(e.trouble), e.text};
    };
    if (auto trouble = central.open())
        return failed(*trouble);
    if (auto trouble = CheckCentralSchema(central.database()))
        return failed(*trouble);
    // The start as the local history writes it: UTC, milliseconds.
    QSqlQuery q(central.database());
    q.prepare(
        QStringLiteral(
            "SELECT id::text, to_char(started_at AT TIME ZONE 'UTC', "
            "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), duration_ms, front_end, com_number, "
            "device_node, "
            "usb_path, usb_serial, ip, mac, file_path, file_size, sha256, kind, crc16, frames, "
            "retries, outcome, cause, reason_en, reason_zh, legacy_reason, operator, station, "
            "label, unit, attempt, shift FROM posflash_records "
            "ORDER BY started_at DESC, id DESC %1")
            .arg(limit > 0 ? QStringLiteral("LIMIT %1").arg(limit) : QString()));
    if (!q.exec())
        return failed(CentralError(q.lastError(), QStringLiteral("cannot read the records")));
    std::vector<HistoryRecord> records;
    while (q.next()) {
        const auto text = [&q](int i) { return q.value(i).toString(); };
        const auto number = [&q](int i, qint64 absent) {
            return q.value(i).isNull() ? absent : q.value(i).toLongLong();
        };
        HistoryRecord r;
        r.uuid = text(0);
        r.startedAt = QDateTime::fromString(text(1), Qt::ISODateWithMs);
        r.milliseconds = number(2, 0);
        r.frontEnd = text(3);
        r.comNumber = static_cast<int>(number(4, 0));
        r.deviceNode = text(5);
        r.usbPath = text(6);
        r.usbSerial = text(7);
        r.ip = text(8);
        r.mac = text(9);
        r.filePath = q.value(10).toByteArray();
        r.fileSize = number(11, -1);
        r.sha256 = QByteArray::fromHex(text(12).toLatin1());
        r.kind = text(13);
        r.crc16 = static_cast<int>(number(14, -1));
        r.frames = static_cast<int>(number(15, 0));
        r.retries = static_cast<int>(number(16, 0));
        r.outcome = text(17);
        r.cause = text(18);
        r.reasonEn = text(19);
        r.reasonZh = text(20);
        r.legacyReason = text(21);
        r.operatorName = text(22);
        r.station = text(23);
        r.label = text(24);
        r.unit = text(25);
        r.attempt = static_cast<int>(number(26, 0));
        r.shift = text(27);
        records.push_back(std::move(r));
    }
    return records;
}

} // namespace posflash
