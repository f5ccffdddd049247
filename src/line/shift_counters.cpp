#include "line/shift_counters.h"

#include <vector>

namespace posflash {

void ShiftCounters::add(const QString& unit, bool passed, int attempts, qint64 unitMs) {
    if (attempts <= 0)
        units_.erase(unit);
    else
        units_[unit] = {passed, attempts, unitMs};
    // A verdict says how the last attempt ended; every attempt before it failed.
    std::vector<AttemptRow> rows;
    rows.reserve(units_.size() * 2);
    const QString completed = QStringLiteral("completed"), failed = QStringLiteral("failed");
    for (const auto& [id, v] : units_) {
        const int last = v.attempts;
        if (last > 1)
            rows.push_back({id, 1, failed});
        rows.push_back({id, last, v.passed ? completed : failed});
    }
    yield_ = YieldOf(rows);
}

qint64 ShiftCounters::meanUnitMs() const {
    qint64 sum = 0;
    for (const auto& [id, v] : units_)
        sum += v.ms;
    return units_.empty() ? 0 : sum / static_cast<qint64>(units_.size());
}

} // namespace posflash
