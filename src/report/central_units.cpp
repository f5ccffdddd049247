#include "report/central_units.h"

#include "records/central_schema.h"
#include "records/pg_link.h"
#include "report/printable_text.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <QStringList>

#include <map>

namespace posflash {
namespace {

// The file name each image was loaded from, by its hash: the earliest row's. The report's view
// holds no paths; a role that may read only the views gets none, and the report names those
// images by hash.
std::map<QString, QString> imageNames(PgLink& central, const std::vector<ReportUnit>& units) {
    QStringList hashes;
    for (const ReportUnit& u : units)
        if (!u.sha256.isEmpty() && !hashes.contains(u.sha256))
            hashes << u.sha256;
    std::map<QString, QString> names;
    if (hashes.isEmpty())
        return names;
    const PgValue wanted = PgValue::literal(('{' + hashes.join(',') + '}').toUtf8());
    const PgAnswer q = central.exec(
        QStringLiteral("SELECT DISTINCT ON (sha256) sha256, encode(file_path, 'hex') FROM "
                       "posflash_records WHERE sha256 = ANY($1::text[]) ORDER BY sha256, "
                       "started_at, id"),
        std::span(&wanted, 1), QStringLiteral("cannot read the images' names"));
    for (int row = 0; q.ok() && row < q.rows.count(); ++row)
        names[q.rows.text(row, 0)] =
            QFileInfo(QFile::decodeName(QByteArray::fromHex(q.rows.text(row, 1).toLatin1())))
                .fileName();
    return names;
}

} // namespace

Result<std::vector<ReportUnit>> CentralUnits(const RecordsAddress& address,
                                             const HistoryFilter& filter) {
    PgLink central(address);
    if (Status opened = central.open(); !opened)
        return opened.error();
    if (Status schema = CheckCentralSchema(central); !schema)
        return schema.error();
    QStringList where;
    std::vector<PgValue> values;
    const auto condition = [&](const char* test, QByteArray value, bool literal = false) {
        values.push_back(literal ? PgValue::literal(std::move(value))
                                 : PgValue::raw(std::move(value)));
        where << QString::fromLatin1(test).arg(values.size());
    };
    for (const auto& [column, value] :
         {std::pair{"operator", &filter.operatorName}, std::pair{"station", &filter.station},
          std::pair{"label", &filter.label}, std::pair{"shift", &filter.shift},
          std::pair{"sha256", &filter.sha256}})
        if (!value->isEmpty())
            condition(QByteArray(column).append(" = $%1").constData(), value->toUtf8());
    if (filter.since.isValid())
        condition("started_at >= $%1::timestamptz",
                  filter.since.toUTC().toString(Qt::ISODateWithMs).toUtf8(), true);
    if (filter.until.isValid())
        condition("started_at < $%1::timestamptz",
                  filter.until.toUTC().toString(Qt::ISODateWithMs).toUtf8(), true);
    const PgAnswer q = central.exec(
        QStringLiteral(
            "SELECT unit, station, shift, operator, label, sha256, kind, port, "
            "to_char(started_at AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"'), "
            "round(extract(epoch FROM ended_at - started_at) * 1000)::bigint, attempts, "
            "failures, first_pass, passed, last_cause, array_to_json(failure_causes)::text, "
            "mode, real_attempts, real_failures FROM %1 %2 ORDER BY started_at, unit")
            .arg(QLatin1String(kReportUnitsView),
                 where.isEmpty() ? QString()
                                 : QStringLiteral("WHERE ") + where.join(QStringLiteral(" AND "))),
        values, QStringLiteral("cannot read the report's units"));
    if (!q.ok())
        return q.error();
    std::vector<ReportUnit> units;
    for (int row = 0; row < q.rows.count(); ++row) {
        const auto text = [&](int column) { return q.rows.text(row, column); };
        ReportUnit u;
        u.unit = text(0);
        u.station = q.rows.isNull(row, 1) ? QStringLiteral("-") : text(1);
        u.shift = text(2);
        u.operatorName = text(3);
        u.label = text(4);
        u.sha256 = text(5);
        u.kind = text(6);
        u.port = q.rows.isNull(row, 7) ? QStringLiteral("-") : text(7);
        u.startedAt = QDateTime::fromString(text(8), Qt::ISODateWithMs);
        u.unitMs = q.rows.number(row, 9, 0);
        u.attempts = static_cast<int>(q.rows.number(row, 10, 0));
        u.failures = static_cast<int>(q.rows.number(row, 11, 0));
        u.firstPass = text(12) == QLatin1String("t");
        u.passed = text(13) == QLatin1String("t");
        u.lastCause = text(14);
        // As a JSON array: a cause holding a space stays one cause.
        for (const QJsonValue cause : QJsonDocument::fromJson(text(15).toUtf8()).array())
            u.failureCauses << cause.toString();
        u.mode = text(16);
        u.realAttempts = static_cast<int>(q.rows.number(row, 17, 0));
        u.realFailures = static_cast<int>(q.rows.number(row, 18, 0));
        units.push_back(std::move(u));
    }
    const std::map<QString, QString> names = imageNames(central, units);
    for (ReportUnit& u : units)
        if (const auto name = names.find(u.sha256); name != names.end())
            u.fileName = name->second;
    MakePrintable(units);
    return units;
}

} // namespace posflash
