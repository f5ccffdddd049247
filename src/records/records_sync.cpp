#include "records/records_sync.h"

#include "records/station_roles.h"

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

// A column of the line's table read as the local table keeps it: the key and the start as text
// (the start in UTC with milliseconds), the path's bytes in hex.
QString selectOf(const RecordColumn& column) {
    const QString name = QLatin1String(column.central);
    switch (column.field->encoding) {
    case FieldEncoding::Uuid:
        return name + QStringLiteral("::text");
    case FieldEncoding::Time:
        return QStringLiteral("to_char(%1 AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')")
            .arg(name);
    case FieldEncoding::Bytes:
        return QStringLiteral("encode(%1, 'hex')").arg(name);
    default:
        return name;
    }
}

QVariant storedOf(const RecordField& field, const PgRows& rows, int row, int column) {
    if (rows.isNull(row, column))
        return {};
    switch (field.encoding) {
    case FieldEncoding::Bytes:
        return QByteArray::fromHex(rows.text(row, column).toLatin1());
    case FieldEncoding::Duration:
    case FieldEncoding::Integer:
        return rows.number(row, column, field.absent);
    default:
        return rows.text(row, column);
    }
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

    Status run() {
        PgAnswer rules = CentralRules(link_);
        if (!rules.ok())
            return rules.status;
        rules_ = rules.rows.text(0, 0);
        Result<RoleStation> mine = StationOfRole(link_);
        if (!mine)
            return mine.error();
        mine_ = *mine;
        // A row refused for its station is tried again once the role's station changes.
        if (mine_.bound)
            rules_ += QLatin1Char('|') + mine_.station;
        if (Result<int> released = marks_.release(rules_); !released)
            return released.error();
        for (;;) {
            Result<std::vector<PendingRow>> rows = marks_.next(options_.batchRows);
            if (!rows)
                return rows.error();
            if (rows->empty())
                break;
            // A statement takes at most 65535 values.
            const size_t perStatement = 65535 / static_cast<size_t>(central_.size());
            for (size_t at = 0; at < rows->size(); at += perStatement) {
                std::vector<const PendingRow*> batch;
                for (size_t i = at; i < rows->size() && i < at + perStatement; ++i)
                    batch.push_back(&(*rows)[i]);
                if (Status sent = send(batch); !sent)
                    return sent;
            }
        }
        return {};
    }

private:
    Status send(const std::vector<const PendingRow*>& rows) {
        PgAnswer answer = insert(rows);
        if (answer.ok()) {
            // Only now: a mark before the line's commit could lose a row.
            if (Status marked = marks_.markSent(rows); !marked)
                return marked;
            outcome_.sent += static_cast<int>(rows.size());
            if (options_.batchSent)
                options_.batchSent(outcome_.sent);
            return {};
        }
        Result<bool> rowSecurity = RefusedByRowSecurity(link_, answer.status);
        if (!rowSecurity)
            return rowSecurity.error();
        // A role without a station may send no row: said once, the rows wait for the grant.
        if (*rowSecurity && mine_.station.isEmpty())
            return RecordsFailure(records_trouble::kDenied, NotGrantedStationText(mine_.role),
                                  answer.error().detail);
        // A row of another station, or of none, is refused alone; the role's others go on.
        if (!*rowSecurity && !HasTrouble(answer.status, records_trouble::kRowRefused))
            return answer.status;
        if (rows.size() == 1) {
            const QString words =
                *rowSecurity ? QStringLiteral("the role %1 may send only rows of station %2 (%3)")
                                   .arg(mine_.role, mine_.station, answer.error().detail)
                             : wordsOf(answer.error());
            if (Status kept = marks_.setAside(*rows.front(), rules_, words); !kept)
                return kept;
            ++outcome_.setAside;
            outcome_.refusals
                << QStringLiteral("%1%2: %3")
                       .arg(rows.front()->uuid,
                            rows.front()->label.isEmpty()
                                ? QString()
                                : QStringLiteral(" (label %1)").arg(rows.front()->label),
                            words);
            return {};
        }
        const auto half = rows.begin() + static_cast<std::ptrdiff_t>(rows.size() / 2);
        if (Status first = send({rows.begin(), half}); !first)
            return first;
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
    QString wordsOf(const Error& error) const {
        static const QRegularExpression parameter(QStringLiteral(" \\[\\$(\\d+)\\]$"));
        QString words = error.detail;
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
    RoleStation mine_;
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
    if (Status opened = central.open(); !opened) {
        outcome.status = opened;
        return outcome;
    }
    if (Status schema = CheckCentralSchema(central, kRecordsTableVersion); !schema) {
        outcome.status = schema;
        return outcome;
    }
    if (options_.connected)
        options_.connected();
    if (!QFileInfo::exists(historyPath_))
        return outcome; // nothing recorded yet on this station
    SyncMarks marks(historyPath_);
    if (Status opened = marks.open(); !opened) {
        outcome.status = opened;
        return outcome;
    }
    if (marks.columns().isEmpty())
        return outcome; // a file with no downloads table yet
    outcome.status = Pass(central, marks, options_, outcome).run();
    outcome.setAsideInAll = marks.setAsideCount();
    return outcome;
}

Result<std::vector<HistoryRecord>> CentralRecords(const RecordsAddress& address, int limit) {
    PgLink central(address);
    if (Status opened = central.open(); !opened)
        return opened.error();
    if (Status schema = CheckCentralSchema(central, kRecordsTableVersion); !schema)
        return schema.error();
    QStringList selected;
    for (const RecordColumn& column : RecordColumns())
        selected << selectOf(column);
    const PgAnswer q = central.exec(
        QStringLiteral("SELECT %1 FROM posflash_records ORDER BY started_at DESC, id DESC %2")
            .arg(selected.join(QStringLiteral(", ")),
                 limit > 0 ? QStringLiteral("LIMIT %1").arg(limit) : QString()),
        QStringLiteral("cannot read the records"));
    if (!q.ok())
        return q.error();
    std::vector<HistoryRecord> records;
    for (int row = 0; row < q.rows.count(); ++row) {
        HistoryRecord r;
        int at = 0;
        for (const RecordColumn& column : RecordColumns())
            SetStored(*column.field, r, storedOf(*column.field, q.rows, row, at++));
        records.push_back(std::move(r));
    }
    return records;
}

} // namespace posflash
