#pragma once

#include "history/unit_yield.h"

#include <QString>

#include <map>

namespace posflash {

// The header's figures since the shift began. A unit counts once, at its latest verdict,
// however many attempts it took: a failed unit tried again in place keeps its id, and its new
// verdict replaces the old. The yields are the history's own (YieldOf): attempts are those
// whose printer received a frame, and a unit with none (every attempt refused before its first
// frame) is no unit.
class ShiftCounters {
public:
    void add(const QString& unit, bool passed, int attempts, qint64 unitMs);
    void reset() { *this = {}; }

    int passed() const { return yield_.passed; }
    int failed() const { return yield_.units - yield_.passed; }
    int total() const { return yield_.units; }
    const UnitYield& yield() const { return yield_; }
    // Mean time from a unit's first attempt to its latest verdict; 0 before the first.
    qint64 meanUnitMs() const;

private:
    struct UnitTries {
        bool passed = false;
        int attempts = 0;
        qint64 ms = 0;
    };
    std::map<QString, UnitTries> units_;
    UnitYield yield_;
};

} // namespace posflash
