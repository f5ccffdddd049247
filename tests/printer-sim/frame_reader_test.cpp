#include "printer-sim/frame_reader.h"

#include "sim_frames.h"

#include <gtest/gtest.h>

namespace posflash::sim {
namespace {

using namespace testing;
using Type = ReaderEvent::Type;

const Bytes kImage = patternImage(1000);

// Frames behind garbage are still found (that no byte is lost is the fuzz target's).
TEST(FrameReaderResync, GarbageAndAFalseHugeLengthHideNoFollowingFrame) {
    const Bytes frame = closingFrame(0x80, 0x51, kImage);
    // A lone 1F and a near-prefix must not fool the search; the real prefix is split.
    const Bytes garbage{0x00, 0x1F, 0x1B, 0x1C, 0x07, 0x1F, 0xFF};
    FrameReader reader;
    auto events = reader.feed(join({garbage, Bytes(frame.begin(), frame.begin() + 3)}), 1);
    EXPECT_TRUE(events.empty()); // the run of garbage is reported once, when it ends
    events = reader.feed(ByteView(frame).subspan(3), 2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].type, Type::Skipped);
    EXPECT_EQ(events[0].count, garbage.size());
    EXPECT_EQ(events[1].frame, frame);

    Bytes bogus = header(0x80, 0x54, 0, 0);
    bogus[7] = 0xFF; // Length 0xFFFF
    bogus[8] = 0xFF;
    const Bytes data = dataFrame(0x80, kImage, 1);
    events = reader.feed(join({bogus, data}), 3);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events.front().type, Type::Oversize);
    EXPECT_EQ(events.front().count, 0xFFFFu);
    EXPECT_EQ(events.back().type, Type::Frame);
    EXPECT_EQ(events.back().frame, data);
}

TEST(FrameReaderResync, QuietLineAfterAHalfFrameReportsItTruncatedAndTheRetryIsRead) {
    const Bytes frame = dataFrame(0x80, kImage, 1);
    FrameReader reader;
    reader.feed(ByteView(frame).first(100), 1);
    const auto events = reader.flush();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, Type::Truncated);
    EXPECT_EQ(events[0].count, 100u);
    EXPECT_FALSE(reader.holdsBytes());
    const auto retry = reader.feed(frame, 2);
    ASSERT_EQ(retry.size(), 1u);
    EXPECT_EQ(retry[0].frame, frame);
}

} // namespace
} // namespace posflash::sim
