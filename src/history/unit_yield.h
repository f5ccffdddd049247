#pragma once

#include <QString>

#include <span>
#include <vector>

namespace posflash {

struct HistoryRecord;

// One attempt as the yields see it.
struct AttemptRow {
    QString unit;    // the UUID the unit's attempts share; empty: the row is a unit of its own
    int attempt = 0; // from 1 within the unit
    QString outcome; // "completed", "failed", "cancelled", "refused"
};

AttemptRow AttemptOf(const HistoryRecord& record);

// The line's two yields, per unit however many attempts it took: first-pass yield is the units
// that passed at their first attempt over the units, final yield the units whose last attempt
// passed over the units. The history, the line's views and the production window all count
// this way (docs/records.md).
struct UnitYield {
    int units = 0;
    int firstPass = 0; // units whose first attempt completed
    int passed = 0;    // units whose last attempt completed

    // Percentages of the units; 0 when there are none.
    double firstPassPercent() const;
    double finalPercent() const;
};

// The yields of the attempts given, in any order. Within a unit the lowest attempt number is
// its first attempt, the highest its last.
UnitYield YieldOf(std::span<const AttemptRow> attempts);
UnitYield YieldOf(const std::vector<HistoryRecord>& records);

} // namespace posflash
