#pragma once

#include <QtGlobal>

#include <algorithm>
#include <optional>

namespace posflash {

// Speed and time left of one download, from its progress reports. The time left is offered
// only once a few frames have passed, and it never falls by more than the time that went by
// since it was last shown, so a burst of fast frames cannot make it leap towards zero.
class ProgressEstimate {
public:
    static constexpr int kMinFrames = 8;
    static constexpr qint64 kMinMs = 300;

    // At ms on the run's clock, accepted of frames data frames of frameBytes each are through.
    void update(qint64 ms, int accepted, int frames, int frameBytes) {
        if (firstMs_ < 0 || accepted < firstAccepted_) {
            firstMs_ = ms;
            firstAccepted_ = accepted;
            shown_.reset();
        }
        lastMs_ = ms;
        accepted_ = accepted;
        frames_ = frames;
        frameBytes_ = frameBytes;
        const int done = accepted_ - firstAccepted_;
        const qint64 span = lastMs_ - firstMs_;
        if (done < kMinFrames || span < kMinMs || accepted_ >= frames_)
            return;
        const auto raw =
            static_cast<qint64>(static_cast<double>(frames_ - accepted_) * span / done);
        qint64 next = raw;
        if (shown_)
            next = std::max(raw, *shown_ - (ms - shownAt_));
        shown_ = std::max<qint64>(next, 0);
        shownAt_ = ms;
    }

    double kibPerSecond() const {
        const qint64 span = lastMs_ - firstMs_;
        if (firstMs_ < 0 || span <= 0)
            return 0;
        return (accepted_ - firstAccepted_) * static_cast<double>(frameBytes_) / 1024.0 /
               (static_cast<double>(span) / 1000.0);
    }

    // Milliseconds left, once known.
    std::optional<qint64> remainingMs() const {
        if (accepted_ >= frames_)
            return std::nullopt;
        return shown_;
    }

private:
    qint64 firstMs_ = -1;
    int firstAccepted_ = 0;
    qint64 lastMs_ = 0;
    int accepted_ = 0;
    int frames_ = 0;
    int frameBytes_ = 0;
    std::optional<qint64> shown_;
    qint64 shownAt_ = 0;
};

} // namespace posflash
