#pragma once

#include <QtGlobal>

#include <algorithm>
#include <deque>
#include <optional>

namespace posflash {

// Speed and time left of one download from its recent progress events: the frames of the last
// few seconds, measured up to the moment asked, so a stall (a frame retried, a silent printer)
// lowers the speed and raises the time left instead of leaving the last figures standing. The
// command line's view and the production window's tiles both read it.
class ProgressEstimate {
public:
    static constexpr qint64 kWindowMs = 3000;
    static constexpr int kMinFrames = 8;
    static constexpr qint64 kMinMs = 300;

    // At ms on the caller's clock, accepted of frames data frames of frameBytes each are
    // through (frameBytes matters only to the speed).
    void update(qint64 ms, int accepted, int frames, int frameBytes = 0) {
        if (!samples_.empty() && accepted < samples_.back().accepted)
            samples_.clear(); // a new download on the same line
        frames_ = frames;
        frameBytes_ = frameBytes;
        samples_.push_back({ms, accepted});
        // The newest sample at or before the window's start stays, as the window's edge.
        while (samples_.size() > 2 && samples_[1].ms <= ms - kWindowMs)
            samples_.pop_front();
    }

    // KiB a second over the recent window up to nowMs; 0 until it can be judged.
    double kibPerSecond(qint64 nowMs) const {
        const auto rate = framesPerSecond(nowMs);
        return rate ? *rate * frameBytes_ / 1024.0 : 0.0;
    }

    // Milliseconds left at nowMs, once a few frames have passed; none when all are through or
    // nothing moved lately.
    std::optional<qint64> remainingMs(qint64 nowMs) const {
        if (samples_.empty() || samples_.back().accepted >= frames_)
            return std::nullopt;
        const auto rate = framesPerSecond(nowMs);
        if (!rate || *rate <= 0)
            return std::nullopt;
        return static_cast<qint64>((frames_ - samples_.back().accepted) * 1000.0 / *rate);
    }

private:
    struct Sample {
        qint64 ms;
        int accepted;
    };

    std::optional<double> framesPerSecond(qint64 nowMs) const {
        if (samples_.size() < 2)
            return std::nullopt;
        const Sample& first = samples_.front();
        const int done = samples_.back().accepted - first.accepted;
        const qint64 span = std::max(nowMs, samples_.back().ms) - first.ms;
        if (span < kMinMs || samples_.back().accepted < kMinFrames)
            return std::nullopt;
        return done * 1000.0 / static_cast<double>(span);
    }

    std::deque<Sample> samples_;
    int frames_ = 0;
    int frameBytes_ = 0;
};

} // namespace posflash
