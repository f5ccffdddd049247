#include "line/shift_counters.h"

namespace posflash {

void ShiftCounters::add(bool passed, int attempts, qint64 unitMs) {
    (passed ? passed_ : failed_)++;
    if (passed && attempts <= 1)
        ++firstPass_;
    totalMs_ += unitMs;
}

void ShiftCounters::takeBack(bool passed, int attempts, qint64 unitMs) {
    (passed ? passed_ : failed_)--;
    if (passed && attempts <= 1)
        --firstPass_;
    totalMs_ -= unitMs;
}

double ShiftCounters::firstPassYield() const {
    return total() == 0 ? 0.0 : static_cast<double>(firstPass_) / total();
}

qint64 ShiftCounters::meanUnitMs() const {
    return total() == 0 ? 0 : totalMs_ / total();
}

} // namespace posflash
