// The attempt's time limit kept on one armed timer: it ends no earlier than the limit last
// set, a shorter limit is not held back by a longer one armed before, and a cleared limit ends
// nothing.

#include "download/reply_deadline.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>

namespace posflash {
namespace {

struct Expiries {
    int count = 0;
    qint64 atMs = -1; // on clock, at the first expiry
    QElapsedTimer clock;
    QEventLoop loop;
    ReplyDeadline deadline{[this] {
        if (++count == 1)
            atMs = clock.elapsed();
        loop.quit();
    }};

    Expiries() { clock.start(); }
    // Runs the event loop until the first expiry or, at the latest, untilMs on clock.
    void run(int untilMs) {
        QTimer::singleShot(std::max<qint64>(0, untilMs - clock.elapsed()), Qt::PreciseTimer, &loop,
                           [this] { loop.quit(); });
        loop.exec();
    }
};

TEST(ReplyDeadline, EndsNoEarlierThanTheLimitLastSet) {
    Expiries e;
    e.deadline.start(30);
    QTimer::singleShot(10, &e.loop, [&] { e.deadline.start(40); }); // moved on, as a reply does
    e.run(2000);
    EXPECT_EQ(e.count, 1);
    EXPECT_GE(e.atMs, 50);
    EXPECT_FALSE(e.deadline.isActive());
}

TEST(ReplyDeadline, AShorterLimitIsNotHeldBackByALongerOneArmedBefore) {
    Expiries e;
    e.deadline.start(3000); // a start frame's wait
    e.deadline.start(20);   // then a data frame's
    e.run(2000);
    EXPECT_EQ(e.count, 1);
    EXPECT_GE(e.atMs, 20);
    EXPECT_LT(e.atMs, 2000);
}

TEST(ReplyDeadline, AClearedLimitEndsNothing) {
    Expiries e;
    e.deadline.start(20);
    e.deadline.stop();
    EXPECT_FALSE(e.deadline.isActive());
    e.run(80); // well past the armed timer
    EXPECT_EQ(e.count, 0);
}

} // namespace
} // namespace posflash
