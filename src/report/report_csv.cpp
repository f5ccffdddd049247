#include "report/report_csv.h"

#include "history/csv_field.h"
#include "report/report_figures.h"

#include <QStringList>

#include <algorithm>

namespace posflash {

QString CsvOf(std::vector<ReportUnit> units) {
    std::sort(units.begin(), units.end(), [](const ReportUnit& a, const ReportUnit& b) {
        return std::tie(a.startedAt, a.unit) < std::tie(b.startedAt, b.unit);
    });
    QString text = CsvRow({"unit", "station", "shift", "started_at", "seconds", "port", "label",
                           "operator", "kind", "sha256", "attempts", "first_pass", "passed",
                           "last_cause", "failure_causes", "mode"});
    const auto yesNo = [](bool value) {
        return value ? QStringLiteral("yes") : QStringLiteral("no");
    };
    for (const ReportUnit& u : units)
        text += CsvRow({u.unit, u.station, u.shift, u.startedAt.toUTC().toString(Qt::ISODateWithMs),
                        QString::number(static_cast<double>(u.unitMs) / 1000, 'f', 3), u.port,
                        u.label, u.operatorName, u.kind, u.sha256, QString::number(u.attempts),
                        yesNo(u.firstPass), yesNo(u.passed), u.lastCause,
                        u.failureCauses.join(QLatin1Char(' ')), u.mode});
    return text;
}

} // namespace posflash
