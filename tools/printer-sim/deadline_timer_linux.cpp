#include "printer-sim/deadline_timer.h"

#include <sys/prctl.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace posflash::sim {

DeadlineTimer::DeadlineTimer(QObject* parent) : QObject(parent) {
    // The kernel may otherwise defer a wake-up by 50 µs to batch it with others: over the
    // 2,000 replies of a 1 MiB image that is a tenth of a second added to the wire.
    ::prctl(PR_SET_TIMERSLACK, 1UL);
    // CLOCK_MONOTONIC is the clock of std::chrono::steady_clock, which the deadlines come from.
    fd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (fd_ < 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &DeadlineTimer::expired);
}

DeadlineTimer::~DeadlineTimer() {
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

void DeadlineTimer::armAt(std::int64_t monotonicNs) {
    if (fd_ < 0)
        return;
    // An absolute time of zero would disarm; the earliest real deadline is one nanosecond.
    const std::int64_t at = monotonicNs > 0 ? monotonicNs : 1;
    itimerspec deadline{};
    deadline.it_value.tv_sec = static_cast<time_t>(at / 1'000'000'000);
    deadline.it_value.tv_nsec = static_cast<long>(at % 1'000'000'000);
    ::timerfd_settime(fd_, TFD_TIMER_ABSTIME, &deadline, nullptr);
}

void DeadlineTimer::disarm() {
    if (fd_ < 0)
        return;
    const itimerspec off{};
    ::timerfd_settime(fd_, 0, &off, nullptr);
}

void DeadlineTimer::expired() {
    std::uint64_t expirations = 0;
    // Nothing to read: a re-arm after the wake-up was queued moved the deadline on.
    if (::read(fd_, &expirations, sizeof expirations) != static_cast<ssize_t>(sizeof expirations))
        return;
    emit reached();
}

} // namespace posflash::sim
