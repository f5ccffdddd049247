#pragma once

#include "download/download_event.h"

#include <vector>

namespace posflash {

// Which of a run's progress events its views show: each printer's first and last figure
// always, the others at most every 250 ms on the run's clock; a unit's next attempt begins
// afresh. The engines tell every frame; the views need a few a second.
class ProgressGate {
public:
    static constexpr qint64 kEveryMs = 250;

    // Whether e (movesProgress()) passes.
    bool pass(const DownloadEvent& e) {
        qint64& last = lastOf(e.target);
        const bool edge = e.accepted == 0 || e.accepted == e.frames;
        if (!edge && last >= 0 && e.ms - last < kEveryMs)
            return false;
        last = e.ms;
        return true;
    }
    void restart(int target) { lastOf(target) = -1; }

private:
    qint64& lastOf(int target) {
        const auto i = static_cast<std::size_t>(target);
        if (i >= lastMs_.size())
            lastMs_.resize(i + 1, -1);
        return lastMs_[i];
    }

    std::vector<qint64> lastMs_;
};

} // namespace posflash
