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

AttemptRow AttemptOf(const HistoryRecord& record) {
    return {record.unit, record.attempt, record.outcome};
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
