#include "download/reply_deadline.h"

namespace posflash {

namespace {
constexpr qint64 kNsPerMs = 1'000'000;
}

ReplyDeadline::ReplyDeadline(std::function<void()> expired) : expired_(std::move(expired)) {
    // At least as long as the number says: a coarse timer may fire 5 % early.
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { fired(); });
    clock_.start();
}

void ReplyDeadline::start(int ms) {
    const qint64 now = clock_.nsecsElapsed();
    deadlineNs_ = now + ms * kNsPerMs;
    // A timer due sooner is left to fire and be armed again; one due later is not.
    if (timer_.isActive() && dueNs_ <= deadlineNs_)
        return;
    arm(ms, now);
}

void ReplyDeadline::arm(qint64 ms, qint64 nowNs) {
    // The event loop counts from its own reading of the same clock, taken after nowNs.
    timer_.start(static_cast<int>(ms));
    dueNs_ = nowNs + ms * kNsPerMs;
}

void ReplyDeadline::fired() {
    if (deadlineNs_ < 0)
        return; // cleared meanwhile: the timer lapses
    const qint64 now = clock_.nsecsElapsed();
    if (now < deadlineNs_) {
        arm((deadlineNs_ - now + kNsPerMs - 1) / kNsPerMs, now);
        return;
    }
    deadlineNs_ = -1;
    expired_();
}

} // namespace posflash
