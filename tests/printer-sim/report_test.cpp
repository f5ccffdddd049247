#include "printer-sim/report.h"

#include "sim_frames.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace posflash::sim {
namespace {

using namespace testing;

TEST(Percentile, IsTheNearestRank) {
    std::vector<std::int64_t> hundred;
    for (int i = 100; i >= 1; --i)
        hundred.push_back(i);
    EXPECT_EQ(Percentile(hundred, 50), 50);
    EXPECT_EQ(Percentile(hundred, 99), 99);
    EXPECT_EQ(Percentile({1, 2, 3}, 50), 2);
    EXPECT_EQ(Percentile({}, 50), 0);
}

// The benchmarks read the tool's time per frame from here; no end-to-end test looks at it.
TEST(Report, NamesStrayBytesAndTimesTheToolFromEachReplyToTheNextFrame) {
    const Bytes image = patternImage(1000);
    BootLoader loader;
    std::int64_t now = 0;
    const auto send = [&](const Bytes& frame) {
        for (const Reply& r : loader.feed(frame, now += 100))
            loader.replyWritten(r, now += 10);
    };
    send(Bytes{0x00, 0x01}); // line noise before the download
    send(startFrame(0x80, image));
    send(dataFrame(0x80, image, 1));
    send(dataFrame(0x80, image, 2));
    send(closingFrame(0x80, 0x51, image));
    send(closingFrame(0x80, 0x56, image));

    const QJsonObject report = QJsonDocument::fromJson(ReportJson(loader)).object();
    const QJsonArray errors = report["errors"].toArray();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].toString().contains("2 bytes outside any frame"));
    const QJsonObject timing = report["tool_time_per_frame_us"].toObject();
    EXPECT_EQ(timing["count"].toInt(), 4); // every reply but the last was followed by a frame
    EXPECT_EQ(timing["median"].toInt(), 100);
}

} // namespace
} // namespace posflash::sim
