#include "history/unit_yield.h"

#include "history/history_store.h"

#include <QHash>

namespace posflash {
namespace {

bool completed(const AttemptRow& row) {
    return row.outcome == QLatin1String("completed");
}

double percentOf(int part, int whole) {
    return whole > 0 ? 100.0 * part / whole : 0.0;
}

} // namespace

const QStringList& CausesBeforeFirstFrame() {
    // The link's and the port's failures: each ends the attempt before the start frame is
    // handed over (a send that fails after one is "disconnected").
    static const QStringList causes{
        "port-missing",       "port-busy",           "permission",      "bind-refused",
        "link-timeout",       "printer-absent",      "address-missing", "bad-address",
        "file-name-too-long", "monitor-unreachable",
    };
    return causes;
}

bool ReachedPrinter(const HistoryRecord& record) {
    if (record.outcome == QLatin1String("completed"))
        return true;
    if (record.outcome == QLatin1String("refused") ||
        CausesBeforeFirstFrame().contains(record.cause))
        return false;
    // A cancel or a stop may come during the link: the start frame is built just before it is
    // sent.
    const bool stop =
        record.cause == QLatin1String("cancelled") || record.cause == QLatin1String("stopped");
    return !stop || record.crc16 >= 0;
}

AttemptRow AttemptOf(const HistoryRecord& record) {
    return {record.unit, record.attempt, record.outcome, ReachedPrinter(record)};
}

double UnitYield::firstPassPercent() const {
    return percentOf(firstPass, units);
}

double UnitYield::finalPercent() const {
    return percentOf(passed, units);
}

UnitYield YieldOf(std::span<const AttemptRow> attempts) {
    struct Ends {
        const AttemptRow* first;
        const AttemptRow* last;
    };
    UnitYield yield;
    QHash<QString, Ends> units;
    for (const AttemptRow& row : attempts) {
        if (!row.reached) {
            ++yield.beforeFirstFrame;
            continue;
        }
        if (row.unit.isEmpty()) {
            ++yield.units;
            yield.firstPass += completed(row) ? 1 : 0;
            yield.passed += completed(row) ? 1 : 0;
            continue;
        }
        const auto it = units.find(row.unit);
        if (it == units.end()) {
            units.insert(row.unit, Ends{&row, &row});
            continue;
        }
        if (row.attempt < it->first->attempt)
            it->first = &row;
        if (row.attempt > it->last->attempt)
            it->last = &row;
    }
    for (const Ends& ends : std::as_const(units)) {
        ++yield.units;
        yield.firstPass += completed(*ends.first) ? 1 : 0;
        yield.passed += completed(*ends.last) ? 1 : 0;
    }
    return yield;
}

UnitYield YieldOf(const std::vector<HistoryRecord>& records) {
    std::vector<AttemptRow> attempts;
    attempts.reserve(records.size());
    for (const HistoryRecord& record : records)
        attempts.push_back(AttemptOf(record));
    return YieldOf(attempts);
}

} // namespace posflash
