#include "base/wait_hub.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace posflash {

WaitHub::End WaitHub::waitFor(const std::function<bool()>& done, std::optional<int> timeoutMs) {
    if (shuttingDown_)
        return End::Shutdown;
    if (done && done())
        return End::Condition;
    if (timeoutMs && *timeoutMs <= 0)
        return End::Timeout;

    QEventLoop loop;
    bool timedOut = false;
    QTimer timer;
    if (timeoutMs) {
        timer.setSingleShot(true);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
            timedOut = true;
            loop.quit();
        });
        timer.start(*timeoutMs);
    }
    active_.push_back({&loop, done ? &done : nullptr});
    loop.exec();
    active_.erase(std::remove_if(active_.begin(), active_.end(),
                                 [&](const Active& a) { return a.loop == &loop; }),
                  active_.end());

    if (done && done())
        return End::Condition;
    // A loop that ended for no reason of ours was told to by the application quitting.
    return timedOut && !shuttingDown_ ? End::Timeout : End::Shutdown;
}

void WaitHub::recheck() {
    for (const Active& a : active_)
        if (a.done && (*a.done)())
            a.loop->quit();
}

void WaitHub::shutdown() {
    shuttingDown_ = true;
    for (const Active& a : active_)
        a.loop->quit();
}

} // namespace posflash
