#include "printer-sim/boot_loader.h"

#include "sim_frames.h"

#include <gtest/gtest.h>

#include <functional>

namespace posflash::sim {
namespace {

using namespace testing;

constexpr std::uint8_t kProgramKind = 0x80;
const Bytes kImage = patternImage(1000); // two program frames: 512 + 488 bytes

// The printer with a tool that reads each reply as soon as it is written.
struct Printer {
    explicit Printer(Faults faults = {}) : loader(std::move(faults)) {}

    std::vector<Reply> send(const Bytes& frame) {
        auto replies = loader.feed(frame, now);
        for (const Reply& r : replies)
            loader.replyWritten(r, now + 10);
        now += 100;
        return replies;
    }

    // The one reply expected; zeros (neither status 4 nor 5) when there is none.
    Bytes answer(const Bytes& frame) {
        const auto replies = send(frame);
        EXPECT_EQ(replies.size(), 1u);
        return replies.empty() ? Bytes(13, 0) : replies[0].bytes;
    }

    // Start frame and data frames 1..lastFrame of kImage, all expected to be accepted.
    void sendUpTo(std::size_t lastFrame) {
        EXPECT_EQ(answer(startFrame(kProgramKind, kImage))[4], 0x04);
        for (std::size_t k = 1; k <= lastFrame; ++k)
            EXPECT_EQ(answer(dataFrame(kProgramKind, kImage, k))[4], 0x04) << "frame " << k;
    }

    bool errorMentions(const char* text) const {
        return loader.stats().errors.filter(QString::fromLatin1(text)).size() > 0;
    }
    std::string errors() const { return loader.stats().errors.join('\n').toStdString(); }

    BootLoader loader;
    std::int64_t now = 1000;
};

struct Defect {
    const char* name;
    std::function<void(Bytes&)> spoil;
    const char* mentioned;
};

TEST(StartFrameDefects, AreNotAnsweredAndBeginNoSession) {
    // clang-format off
    const Defect defects[] = {
        {"status byte", [](Bytes& f) { f[4] = 0x04; }, "status byte"},
        {"unknown kind", [](Bytes& f) { f[5] = 0x82; }, "kind 0x82"},
        {"non-zero FrameSum", [](Bytes& f) { f[9] = 1; }, "FrameSum"},
        {"short Length", [](Bytes& f) { f.resize(554), f[7] = 0x1F; }, "Length 543"},
        {"CRC high word set", [](Bytes& f) { f[18] = 1; }, "bytes 17 to 26"},
        {"reserved after the time", [](Bytes& f) { f[41] = 1; }, "bytes 39 to 42"},
        {"month 13", [](Bytes& f) { f[29] = '1', f[30] = '3'; }, "StartDate"},
        {"day 00", [](Bytes& f) { f[31] = '0', f[32] = '0'; }, "StartDate"},
        {"hour 24", [](Bytes& f) { f[33] = '2', f[34] = '4'; }, "StartTime"},
        {"second not a digit", [](Bytes& f) { f[38] = ':'; }, "StartTime"},
        {"zero in PcCode", [](Bytes& f) { f[300] = 0; }, "PcCode"},
        {"empty image", [](Bytes& f) { putLE(f, 11, 0, 4); }, "ImageLength 0"},
        {"more frames than FrameNo counts", [](Bytes& f) { putLE(f, 11, 32767u * 512 + 1, 4); }, "ImageLength"},
    };
    // clang-format on
    for (const Defect& d : defects) {
        SCOPED_TRACE(d.name);
        Bytes frame = startFrame(kProgramKind, kImage);
        d.spoil(frame);
        Printer printer;
        EXPECT_TRUE(printer.send(frame).empty());
        EXPECT_TRUE(printer.errorMentions(d.mentioned)) << printer.errors();
        EXPECT_EQ(printer.answer(dataFrame(kProgramKind, kImage, 1))[4], 0x05);
    }
}

// Spoils frame 2 of a 1000-byte image after frame 1 went through.
TEST(DataFrameDefects, AreRefusedWithStatus5AndTheRightFrameStillGoesThrough) {
    // clang-format off
    const Defect defects[] = {
        {"FrameSum off by one", [](Bytes& f) { ++f[9]; }, "FrameSum"},
        {"DataOffset of another slice", [](Bytes& f) { f[14] = 0x04; }, "DataOffset 1024"},
        {"skips a frame", [](Bytes& f) { f[11] = 3; }, "out of order"},
        {"font kind in a program session", [](Bytes& f) { f[5] = 0x81; }, "kind 0x81"},
        {"no data bytes", [](Bytes& f) { f.resize(17), f[7] = 6, f[8] = 0; }, "no data bytes"},
        {"last frame padded to a full slice", [](Bytes& f) { f.resize(17 + 512, 0), f[7] = 0x06, f[8] = 0x02; }, "512 data bytes, expected 488"},
        {"other data in a repeat of frame 1", [](Bytes& f) { f = dataFrame(kProgramKind, kImage, 1); std::swap(f[17], f[18]); }, "different data"}, // same sum, other data
    };
    // clang-format on
    for (const Defect& d : defects) {
        SCOPED_TRACE(d.name);
        Printer printer;
        printer.sendUpTo(1);
        Bytes bad = dataFrame(kProgramKind, kImage, 2);
        d.spoil(bad);
        const Bytes reply = printer.answer(bad);
        EXPECT_EQ(reply[4], 0x05);
        EXPECT_EQ(readU16(reply, 11), readU16(bad, 11));
        EXPECT_TRUE(printer.errorMentions(d.mentioned)) << printer.errors();
        EXPECT_EQ(printer.answer(dataFrame(kProgramKind, kImage, 2))[4], 0x04);
    }
}

TEST(ClosingFrames, EndIsAnsweredOnlyAfterTheLastDataFrameAndWithItsFrameSum) {
    Printer printer;
    printer.sendUpTo(1);
    const Bytes end = closingFrame(kProgramKind, 0x51, kImage);
    EXPECT_TRUE(printer.send(end).empty());
    EXPECT_TRUE(printer.errorMentions("after 1 of 2 data frames")) << printer.errors();
    printer.answer(dataFrame(kProgramKind, kImage, 2));
    // The first data frame's sum: what a tool that forgot to update it would send.
    Bytes staleSum = end;
    std::copy_n(dataFrame(kProgramKind, kImage, 1).begin() + 9, 2, staleSum.begin() + 9);
    EXPECT_TRUE(printer.send(staleSum).empty());
    EXPECT_TRUE(printer.errorMentions("FrameSum")) << printer.errors();
    EXPECT_EQ(printer.answer(end)[4], 0x04);
}

TEST(ClosingFrames, ImageNotMatchingTheAnnouncedCrcStopsTheEndFrame) {
    Printer printer;
    Bytes start = startFrame(kProgramKind, kImage);
    start[15] ^= 0x01;
    printer.answer(start);
    printer.answer(dataFrame(kProgramKind, kImage, 1));
    printer.answer(dataFrame(kProgramKind, kImage, 2));
    EXPECT_TRUE(printer.send(closingFrame(kProgramKind, 0x51, kImage)).empty());
    EXPECT_EQ(printer.loader.currentSession().crcOk, false);
    EXPECT_TRUE(printer.errorMentions("CRC-16")) << printer.errors();
}

// A tool that took the refusal for an acceptance moves on: the printer must catch it.
TEST(Faults, RefusedFrameIsNotTakenAsAccepted) {
    Faults faults;
    faults.refuse[1] = {0x06, 1};
    Printer printer(faults);
    printer.answer(startFrame(kProgramKind, kImage));
    EXPECT_EQ(printer.answer(dataFrame(kProgramKind, kImage, 1))[4], 0x06);
    EXPECT_EQ(printer.answer(dataFrame(kProgramKind, kImage, 2))[4], 0x05);
    EXPECT_TRUE(printer.errorMentions("out of order"));
}

// A tool must wait for each acknowledgement, a late one included, before the next frame.
TEST(Faults, AFrameSentBeforeThePreviousWasAcknowledgedIsRefused) {
    Printer early;
    early.loader.feed(startFrame(kProgramKind, kImage), 1); // reply never written
    const auto replies = early.loader.feed(dataFrame(kProgramKind, kImage, 1), 2);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0].bytes[4], 0x05);
    EXPECT_TRUE(early.errorMentions("before the start frame was acknowledged"));

    Faults faults;
    faults.lateMs[2] = 400;
    Printer printer(faults);
    printer.sendUpTo(1);
    const auto late = printer.loader.feed(dataFrame(kProgramKind, kImage, 2), 5000);
    ASSERT_EQ(late.size(), 1u);
    EXPECT_EQ(late[0].lateMs, 400);
    EXPECT_TRUE(printer.loader.feed(closingFrame(kProgramKind, 0x51, kImage), 5360).empty());
    EXPECT_TRUE(printer.errorMentions("before data frame 2 was acknowledged"));
    printer.loader.replyWritten(late[0], 5400);
    EXPECT_EQ(printer.loader.feed(closingFrame(kProgramKind, 0x51, kImage), 5401).size(), 1u);
}

} // namespace
} // namespace posflash::sim
