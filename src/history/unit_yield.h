#pragma once

#include <QString>
#include <QStringList>

#include <span>
#include <vector>

namespace posflash {

struct HistoryRecord;

// One attempt as the yields see it.
struct AttemptRow {
    QString unit;    // the UUID the unit's attempts share; empty: the row is a unit of its own
    int attempt = 0; // from 1 within the unit
    QString outcome; // "completed", "failed", "cancelled", "refused"
    // Whether its printer received a frame (ReachedPrinter); an attempt that did not is recorded
    // but is no attempt of a unit.
    bool reached = true;
};

// Whether the attempt's printer received a frame. It did not when the tool refused the job
// (outcome "refused": file, recipe, label, image), when the attempt ended for a cause that
// comes before the first frame (the port, the link, the address; CausesBeforeFirstFrame), or
// when it was cancelled or stopped before its start frame was built (no CRC-16). The line's
// views apply the same rule in SQL (src/records/central_schema.cpp, version 7).
bool ReachedPrinter(const HistoryRecord& record);
// The failure causes that end an attempt before its printer receives a frame.
const QStringList& CausesBeforeFirstFrame();

AttemptRow AttemptOf(const HistoryRecord& record);

// The line's two yields, per unit however many attempts it took: first-pass yield is the units
// that passed at their first attempt over the units, final yield the units whose last attempt
// passed over the units. A unit is a printer that received a frame: only attempts that reached
// their printer count, and a unit none of whose attempts did is no unit. The history, the
// line's views, the reports and the production window all count this way (docs/records.md).
struct UnitYield {
    int units = 0;
    int firstPass = 0; // units whose first attempt completed
    int passed = 0;    // units whose last attempt completed
    // Attempts that ended before their printer received a frame: recorded, counted nowhere else.
    int beforeFirstFrame = 0;

    // Percentages of the units; 0 when there are none.
    double firstPassPercent() const;
    double finalPercent() const;
};

// The yields of the attempts given, in any order. Within a unit the lowest attempt number of
// those that reached the printer is its first attempt, the highest its last.
UnitYield YieldOf(std::span<const AttemptRow> attempts);
UnitYield YieldOf(const std::vector<HistoryRecord>& records);

} // namespace posflash
