#include "report/report_figures.h"

#include "history/history_store.h"
#include "report/printable_text.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <set>

namespace posflash {
namespace {

bool failedAttempt(const QString& outcome) {
    return outcome == QLatin1String("failed") || outcome == QLatin1String("refused");
}

QString portOf(const HistoryRecord& r) {
    for (const QString* where : {&r.printer.usbPath, &r.printer.node, &r.printer.ip})
        if (!where->isEmpty())
            return *where;
    return r.printer.comNumber > 0 ? QStringLiteral("COM%1").arg(r.printer.comNumber) : QString();
}

QString orDash(const QString& text) {
    return text.isEmpty() ? QStringLiteral("-") : text;
}

// A unit's attempts in the order they were made: by attempt number, then start.
bool madeBefore(const HistoryRecord* a, const HistoryRecord* b) {
    return std::tie(a->attempt, a->startedAt, a->uuid) <
           std::tie(b->attempt, b->startedAt, b->uuid);
}

} // namespace

std::vector<ReportUnit> UnitsOf(const std::vector<HistoryRecord>& records) {
    std::map<QString, std::vector<const HistoryRecord*>> byUnit;
    for (const HistoryRecord& r : records)
        byUnit[r.unit.isEmpty() ? r.uuid : r.unit].push_back(&r);
    std::vector<ReportUnit> units;
    for (auto& [id, attempts] : byUnit) {
        std::sort(attempts.begin(), attempts.end(), madeBefore);
        const HistoryRecord& first = *attempts.front();
        ReportUnit u;
        u.unit = id;
        u.station = orDash(first.station);
        u.shift = first.shift;
        u.operatorName = first.operatorName;
        u.label = first.label;
        u.sha256 = QString::fromLatin1(first.sha256.toHex());
        u.fileName = QFileInfo(QFile::decodeName(first.filePath)).fileName();
        u.kind = first.kind;
        u.port = orDash(portOf(first));
        u.mode = first.mode;
        u.startedAt = first.startedAt;
        qint64 end = 0;
        std::vector<AttemptRow> rows;
        for (const HistoryRecord* a : attempts) {
            u.startedAt = std::min(u.startedAt, a->startedAt);
            end = std::max(end, a->startedAt.toMSecsSinceEpoch() + a->milliseconds);
            const AttemptRow row = AttemptOf(*a);
            if (failedAttempt(a->outcome)) {
                ++u.failures;
                u.realFailures += row.reached ? 1 : 0;
                u.failureCauses << orDash(a->cause);
            }
            u.realAttempts += row.reached ? 1 : 0;
            rows.push_back(row);
        }
        u.unitMs = end - u.startedAt.toMSecsSinceEpoch();
        u.attempts = static_cast<int>(attempts.size());
        const UnitYield yield = YieldOf(rows);
        u.firstPass = yield.firstPass > 0;
        u.passed = yield.passed > 0;
        u.lastCause = attempts.back()->cause;
        units.push_back(std::move(u));
    }
    MakePrintable(units);
    return units;
}

std::vector<ReportUnit> UnitsMatching(std::vector<ReportUnit> units, const HistoryFilter& filter) {
    const auto same = [](const QString& wanted, const QString& value) {
        return wanted.isEmpty() || wanted == value;
    };
    std::erase_if(units, [&](const ReportUnit& u) {
        return !same(filter.operatorName, u.operatorName) || !same(filter.station, u.station) ||
               !same(filter.label, u.label) || !same(filter.shift, u.shift) ||
               !same(filter.sha256, u.sha256) ||
               (filter.since.isValid() && u.startedAt < filter.since) ||
               (filter.until.isValid() && u.startedAt >= filter.until);
    });
    return units;
}

double Percentile(std::vector<qint64> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const double at = p * static_cast<double>(values.size() - 1);
    const auto below = static_cast<size_t>(std::floor(at));
    const size_t above = std::min(below + 1, values.size() - 1);
    const double part = at - static_cast<double>(below);
    return static_cast<double>(values[below]) +
           part * static_cast<double>(values[above] - values[below]);
}

ReportFigures FiguresOf(const std::vector<ReportUnit>& given) {
    ReportFigures f;
    std::vector<const ReportUnit*> units;
    std::map<QString, int> causes;
    for (const ReportUnit& u : given) {
        if (u.mode == QLatin1String("engineering")) {
            ++f.engineeringUnits;
            continue;
        }
        // Every failure's cause counts, a refusal's too; the rest counts only real attempts.
        for (const QString& cause : u.failureCauses)
            ++causes[cause];
        f.beforeFirstFrame += u.attempts - u.realAttempts;
        if (u.realAttempts > 0)
            units.push_back(&u);
    }
    std::sort(units.begin(), units.end(), [](const ReportUnit* a, const ReportUnit* b) {
        return std::tie(a->startedAt, a->unit) < std::tie(b->startedAt, b->unit);
    });
    std::set<QString> stations;
    std::map<std::pair<QString, QString>, GroupYield> groups; // (station, shift or day)
    std::map<QString, std::vector<qint64>> times;
    std::map<QString, PortFailures> ports;
    std::map<std::pair<QString, QString>, ImageUnits> images; // (kind, hash)
    for (const ReportUnit* u : units) {
        if (!f.first.isValid())
            f.first = u->startedAt;
        f.last = u->startedAt;
        stations.insert(u->station);
        ImageUnits& image = images[{u->kind, u->sha256}];
        image.kind = u->kind;
        image.sha256 = u->sha256;
        if (image.fileName.isEmpty())
            image.fileName = u->fileName;
        ++image.units;
        const QString day = u->startedAt.toLocalTime().date().toString(Qt::ISODate);
        GroupYield& g = groups[{u->station, u->shift.isEmpty() ? day : u->shift}];
        if (g.yield.units == 0) {
            g.station = u->station;
            g.shift = u->shift;
            g.day = day;
            g.start = u->startedAt;
            g.operatorName = u->operatorName;
        }
        for (UnitYield* y : {&g.yield, &f.total}) {
            ++y->units;
            y->firstPass += u->firstPass ? 1 : 0;
            y->passed += u->passed ? 1 : 0;
        }
        g.attempts += u->realAttempts;
        f.attempts += u->realAttempts;
        if (u->realAttempts > 1) {
            ++f.retriedUnits;
            f.retryAttempts += u->realAttempts - 1;
        }
        f.savedByRetry += !u->firstPass && u->passed ? 1 : 0;
        times[u->station].push_back(u->unitMs);
        PortFailures& p = ports[u->port];
        p.port = u->port;
        p.failures += u->realFailures;
        p.attempts += u->realAttempts;
        ++p.units;
    }
    f.stations = QStringList(stations.begin(), stations.end());
    for (auto& [key, image] : images)
        f.images.push_back(std::move(image));
    for (auto& [key, g] : groups)
        f.groups.push_back(g);
    std::sort(f.groups.begin(), f.groups.end(), [](const GroupYield& a, const GroupYield& b) {
        return std::tie(a.station, a.day, a.shift) < std::tie(b.station, b.day, b.shift);
    });

    int failures = 0;
    for (const auto& [cause, count] : causes) {
        f.pareto.push_back({cause, count});
        failures += count;
    }
    std::stable_sort(f.pareto.begin(), f.pareto.end(),
                     [](const ParetoBar& a, const ParetoBar& b) { return a.count > b.count; });
    int running = 0;
    for (ParetoBar& bar : f.pareto) {
        running += bar.count;
        bar.sharePercent = 100.0 * bar.count / failures;
        bar.cumulativePercent = 100.0 * running / failures;
    }

    for (auto& [station, ms] : times)
        f.times.push_back(
            {station, static_cast<int>(ms.size()), Percentile(ms, 0.5), Percentile(ms, 0.95)});
    for (const auto& [port, p] : ports)
        if (p.failures > 0)
            f.ports.push_back(p);
    std::stable_sort(
        f.ports.begin(), f.ports.end(),
        [](const PortFailures& a, const PortFailures& b) { return a.failures > b.failures; });
    if (f.ports.size() > static_cast<size_t>(kReportPorts))
        f.ports.resize(kReportPorts);
    return f;
}

} // namespace posflash
