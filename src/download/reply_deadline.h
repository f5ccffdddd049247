#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <functional>

namespace posflash {

// The time limit of a frame's attempt, set anew for every attempt of every frame. Registering
// a timer with the event loop for each frame and removing it at the reply cost more than the
// frame's own work, so one precise timer stays armed: a reply only clears the limit, and a
// timer that fires before the limit (moved on since it was armed) is armed for the rest.
class ReplyDeadline {
public:
    explicit ReplyDeadline(std::function<void()> expired);

    // From now, replacing any limit set before; expired() is called no earlier than ms later.
    void start(int ms);
    void stop() { deadlineNs_ = -1; }
    bool isActive() const { return deadlineNs_ >= 0; }

private:
    void arm(qint64 ms, qint64 nowNs);
    void fired();

    std::function<void()> expired_;
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 deadlineNs_ = -1; // on clock_; -1: no limit
    qint64 dueNs_ = -1;      // when the armed timer fires, at the earliest
};

} // namespace posflash
