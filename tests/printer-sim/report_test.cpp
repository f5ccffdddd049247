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
    EXPECT_EQ(Percentile({7}, 99), 7);
    EXPECT_EQ(Percentile({1, 2, 3}, 50), 2);
    EXPECT_EQ(Percentile({}, 50), 0);
}

TEST(Report, ShowsCopiesPerFrameCrcErrorsAndToolTime) {
    const Bytes image = patternImage(1000);
    Faults faults;
    faults.refuse[2] = {0x05, 2};
    BootLoader loader(faults);
    std::int64_t now = 0;
    const auto send = [&](const Bytes& frame) {
        for (const Reply& r : loader.feed(frame, now += 100))
            loader.replyWritten(r, now += 10);
    };
    send(Bytes{0x00, 0x01}); // line noise before the download
    send(startFrame(0x80, image));
    send(dataFrame(0x80, image, 1));
    for (int i = 0; i < 3; ++i)
        send(dataFrame(0x80, image, 2));
    send(closingFrame(0x80, 0x51, image));
    send(closingFrame(0x80, 0x56, image));

    const QJsonObject report = QJsonDocument::fromJson(ReportJson(loader)).object();
    EXPECT_EQ(report["sessions_completed"].toInt(), 1);
    EXPECT_EQ(report["start_frames"].toInt(), 1);
    EXPECT_EQ(report["data_frames"].toInt(), 4);
    EXPECT_EQ(report["end_frames"].toInt(), 1);
    EXPECT_EQ(report["final_frames"].toInt(), 1);
    const QJsonObject session = report["sessions"].toArray().at(0).toObject();
    EXPECT_EQ(session["kind"].toString(), "program");
    EXPECT_EQ(session["image_length"].toInt(), 1000);
    EXPECT_TRUE(session["crc_ok"].toBool());
    EXPECT_EQ(session["frame_copies"].toObject()["1"].toInt(), 1);
    EXPECT_EQ(session["frame_copies"].toObject()["2"].toInt(), 3);
    const QJsonArray errors = report["errors"].toArray();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].toString().contains("2 bytes outside any frame"));
    const QJsonObject timing = report["tool_time_per_frame_us"].toObject();
    EXPECT_EQ(timing["count"].toInt(), 6); // every reply but the last was followed by a frame
    EXPECT_EQ(timing["median"].toInt(), 100);
}

TEST(Checksums, Crc16IsXmodem) {
    const std::string digits = "123456789";
    EXPECT_EQ(Crc16Xmodem(Bytes(digits.begin(), digits.end())), 0x31C3);
    EXPECT_EQ(Crc16Xmodem(Bytes{}), 0);
    EXPECT_EQ(Crc16Xmodem(Bytes{0x01}), 0x1021);
    EXPECT_EQ(Crc16Xmodem(Bytes{0xFF}), 0x1EF0);
}

} // namespace
} // namespace posflash::sim
