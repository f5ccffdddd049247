#pragma once

#include <QtGlobal>

namespace posflash {

// The header's figures since the shift began. A unit counts once, at its verdict, however
// many attempts it took; the history keeps every attempt.
class ShiftCounters {
public:
    void add(bool passed, int attempts, qint64 unitMs);
    // A unit's earlier verdict goes: it is tried again, and counts once, at its new verdict.
    void takeBack(bool passed, int attempts, qint64 unitMs);
    void reset() { *this = {}; }

    int passed() const { return passed_; }
    int failed() const { return failed_; }
    int total() const { return passed_ + failed_; }
    // Units that passed at their first attempt, of all units; 0 before the first.
    double firstPassYield() const;
    // Mean time from a unit's first attempt to its verdict; 0 before the first.
    qint64 meanUnitMs() const;

private:
    int passed_ = 0;
    int failed_ = 0;
    int firstPass_ = 0;
    qint64 totalMs_ = 0;
};

} // namespace posflash
