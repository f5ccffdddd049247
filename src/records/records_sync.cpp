#include "records/records_sync.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>

namespace posflash {
namespace {

// A local value as the line's column takes it: the path's bytes whether SQLite kept TEXT or a
// BLOB, a text's UTF-8 as it is, a number or a time in its text form.
PgValue centralValue(RecordColumn::Form form, const QVariant& value) {
    if (value.isNull())
        return PgValue::null();
    const bool bytes = value.typeId() == QMetaType::QByteArray;
    switch (form) {
    case RecordColumn::Form::Literal:
        return PgValue::literal(value.toString().toUtf8());
    case RecordColumn::Form::Text:
    case RecordColumn::Form::Bytes:
        return PgValue::raw(bytes ? value.toByteArray() : value.toString().toUtf8());
    }
    return PgValue::null();
}

const RecordColumn* columnOf(const QString& local) {
    for (const RecordColumn& column : RecordColumns())
        if (local == QLatin1String(column.local))
            return &column;
    return nullptr;
}

// One pass's work on an open link and open marks.
class Pass {
public:
    Pass(PgLink& link, SyncMarks& marks, const RecordsSyncOptions& options, SyncOutcome& outcome)
        : link_(link), marks_(marks), options_(options), outcome_(outcome) {
        for (const QString& local : marks.columns()) {
            const RecordColumn* column = columnOf(local);
            forms_.push_back(column->form);
            central_ << QString::fromLatin1(column->central);
        }
        central_ << QStringLiteral("sent_from");
    }

    std::optional<RecordsError> run() {
        PgAnswer rules = CentralRules(link_);
        if (!rules.ok())
            return rules.error;
        rules_ = rules.rows.text(0, 0);
        int released = 0;
        if (auto trouble = marks_.release(rules_, released))
            return trouble;
        for (std::vector<PendingRow> rows;;) {
            if (auto trouble = marks_.next(options_.batchRows, rows))
                return trouble;
            if (rows.empty())
                break;
            // A statement takes at most 65535 values.
            const size_t perStatement = 65535 / static_cast<size_t>(central_.size());
            for (size_t at = 0; at < rows.size(); at += perStatement) {
                std::vector<const PendingRow*> batch;
                for (size_t i = at; i < rows.size() && i < at + perStatement; ++i)
                    batch.push_back(&rows[i]);
                if (auto trouble = send(batch))
                    return trouble;
            }
        }
        return std::nullopt;
    }

private:
    std::optional<RecordsError> send(const std::vector<const PendingRow*>& rows) {
        const PgAnswer answer = insert(rows);
        if (answer.ok()) {
            // Only now: a mark before the line's commit could lose a row.
            if (auto trouble = marks_.markSent(rows))
                return trouble;
            outcome_.sent += static_cast<int>(rows.size());
            if (options_.batchSent)
                options_.batchSent(outcome_.sent);
            return std::nullopt;
        }
        if (answer.error->trouble != RecordsTrouble::RowRefused)
            return answer.error;
        if (rows.size() == 1) {
            const QString words = wordsOf(*answer.error);
            if (auto trouble = marks_.setAside(*rows.front(), rules_, words))
                return trouble;
            ++outcome_.setAside;
            outcome_.refusals
                << QStringLiteral("%1%2: %3")
                       .arg(rows.front()->uuid,
                            rows.front()->label.isEmpty()
                                ? QString()
                                : QStringLiteral(" (label %1)").arg(rows.front()->label),
                            words);
            return std::nullopt;
        }
        const auto half = rows.begin() + static_cast<std::ptrdiff_t>(rows.size() / 2);
        if (auto trouble = send({rows.begin(), half}))
            return trouble;
        return send({half, rows.end()});
    }

    PgAnswer insert(const std::vector<const PendingRow*>& rows) {
        QStringList tuples;
        std::vector<PgValue> values;
        const QByteArray sentFrom = QSysInfo::machineHostName().toUtf8();
        for (const PendingRow* row : rows) {
            QStringList marks;
            for (int i = 0; i < row->values.size(); ++i) {
                values.push_back(centralValue(forms_[static_cast<size_t>(i)], row->values[i]));
                marks << QStringLiteral("$%1").arg(values.size());
            }
            values.push_back(PgValue::raw(sentFrom));
            marks << QStringLiteral("$%1").arg(values.size());
            tuples << QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
        }
        return link_.exec(
            QStringLiteral("INSERT INTO posflash_records (%1) VALUES %2 ON CONFLICT "
                           "(id) DO NOTHING")
                .arg(central_.join(QStringLiteral(", ")), tuples.join(QStringLiteral(", "))),
            values, QStringLiteral("cannot send the records"));
    }

    // The server's words for a row alone, its parameter named as the column.
    QString wordsOf(const RecordsError& error) const {
        static const QRegularExpression parameter(QStringLiteral(" \\[\\$(\\d+)\\]$"));
        QString words = error.server;
        if (const auto m = parameter.match(words); m.hasMatch()) {
            const qsizetype at = (m.captured(1).toLongLong() - 1) % central_.size();
            words.replace(m.capturedStart(), m.capturedLength(),
                          QStringLiteral(" (column %1)").arg(central_[at]));
        }
        return words;
    }

    PgLink& link_;
    SyncMarks& marks_;
    const RecordsSyncOptions& options_;
    SyncOutcome& outcome_;
    std::vector<RecordColumn::Form> forms_;
    QStringList central_;
    QString rules_;
};

} // namespace

RecordsSync::RecordsSync(RecordsAddress address, QString historyPath, Options options)
    : address_(std::move(address)), historyPath_(std::move(historyPath)),
      options_(std::move(options)) {}

RecordsSync::~RecordsSync() = default;

SyncOutcome RecordsSync::pass() {
    SyncOutcome outcome;
    // The server first, with nothing to send too: a wrong address is told at once.
    PgLink central(address_);
    if (auto trouble = central.open()) {
        outcome.error = *trouble;
        return outcome;
    }
    if (auto trouble = CheckCentralSchema(central)) {
        outcome.error = *trouble;
        return outcome;
    }
    if (options_.connected)
        options_.connected();
    if (!QFileInfo::exists(historyPath_))
        return outcome; // nothing recorded yet on this station
    SyncMarks marks(historyPath_);
    if (auto trouble = marks.open()) {
        outcome.error = *trouble;
        return outcome;
    }
    if (marks.columns().isEmpty())
        return outcome; // a file with no downloads table yet
    if (auto trouble = Pass(central, marks, options_, outcome).run())
        outcome.error = *trouble;
    outcome.setAsideInAll = marks.setAsideCount();
    return outcome;
}

Result<std::vector<HistoryRecord>> CentralRecords(const RecordsAddress& address, int limit) {
    PgLink central(address);
    const auto failed = [](const RecordsError& e) {
        return Error{static_cast<int>(e.trouble), e.text};
    };
    if (auto trouble = central.open())
        return failed(*trouble);
    if (auto trouble = CheckCentralSchema(central))
        return failed(*trouble);
    // The start as the local history writes it: UTC, milliseconds.
    const PgAnswer q = central.exec(
        QStringLiteral(
            "SELECT id::text, to_char(started_at AT TIME ZONE 'UTC', "
            "'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), duration_ms, front_end, com_number, "
            "device_node, "
            "usb_path, usb_serial, ip, mac, encode(file_path, 'hex'), file_size, sha256, kind, "
            "crc16, frames, "
            "retries, outcome, cause, reason_en, reason_zh, legacy_reason, operator, station, "
            "label, unit, attempt, shift FROM posflash_records "
            "ORDER BY started_at DESC, id DESC %1")
            .arg(limit > 0 ? QStringLiteral("LIMIT %1").arg(limit) : QString()),
        QStringLiteral("cannot read the records"));
    if (!q.ok())
        return failed(*q.error);
    std::vector<HistoryRecord> records;
    for (int row = 0; row < q.rows.count(); ++row) {
        const auto text = [&q, row](int i) { return q.rows.text(row, i); };
        const auto number = [&q, row](int i, qint64 absent) {
            return q.rows.number(row, i, absent);
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
        r.filePath = QByteArray::fromHex(text(10).toLatin1());
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
