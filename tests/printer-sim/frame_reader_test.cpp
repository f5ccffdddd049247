#include "printer-sim/frame_reader.h"

#include "sim_frames.h"

#include <gtest/gtest.h>

namespace posflash::sim {
namespace {

using namespace testing;
using Type = ReaderEvent::Type;

std::vector<Bytes> framesIn(const std::vector<ReaderEvent>& events) {
    std::vector<Bytes> frames;
    for (const auto& e : events)
        if (e.type == Type::Frame)
            frames.push_back(e.frame);
    return frames;
}

std::size_t skippedIn(const std::vector<ReaderEvent>& events) {
    std::size_t n = 0;
    for (const auto& e : events)
        if (e.type == Type::Skipped)
            n += e.count;
    return n;
}

const Bytes kImage = patternImage(1000);

// --- Reads do not line up with frames -------------------------------------------------------

TEST(FrameReaderAlignment, FrameSplitAtEveryPossibleByteComesOutWhole) {
    const Bytes frame = dataFrame(0x80, kImage, 2);
    for (std::size_t cut = 1; cut < frame.size(); ++cut) {
        FrameReader reader;
        const auto first = reader.feed(ByteView(frame).first(cut), 1);
        EXPECT_TRUE(framesIn(first).empty()) << "cut " << cut;
        const auto second = reader.feed(ByteView(frame).subspan(cut), 2);
        ASSERT_EQ(framesIn(second).size(), 1u) << "cut " << cut;
        EXPECT_EQ(framesIn(second)[0], frame);
        EXPECT_EQ(skippedIn(second), 0u);
        EXPECT_FALSE(reader.holdsBytes());
    }
}

TEST(FrameReaderAlignment, SeveralFramesInOneReadComeOutInOrder) {
    const Bytes a = startFrame(0x80, kImage);
    const Bytes b = dataFrame(0x80, kImage, 1);
    const Bytes c = closingFrame(0x80, 0x51, kImage);
    FrameReader reader;
    const auto frames = framesIn(reader.feed(join({a, b, c}), 1));
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], a);
    EXPECT_EQ(frames[1], b);
    EXPECT_EQ(frames[2], c);
}

TEST(FrameReaderAlignment, FirstByteTimeIsThatOfTheReadCarryingIt) {
    const Bytes frame = closingFrame(0x80, 0x56, kImage);
    FrameReader reader;
    reader.feed(ByteView(frame).first(2), 100);
    reader.feed(ByteView(frame).subspan(2, 5), 200);
    const auto events = reader.feed(ByteView(frame).subspan(7), 300);
    ASSERT_EQ(framesIn(events).size(), 1u);
    EXPECT_EQ(events.back().firstByteUs, 100);

    // The next frame starts inside a read that also finishes nothing else.
    const auto next = reader.feed(frame, 400);
    EXPECT_EQ(next.back().firstByteUs, 400);

    // A frame found inside a false header held over three reads starts in the second one.
    Bytes bogus = join({Bytes(kPrefix.begin(), kPrefix.end()), frame});
    bogus[8] = 0x10; // the false header's Length is 0x1000 + the frame's first Length byte
    reader.feed(ByteView(bogus).first(4), 500);
    reader.feed(ByteView(bogus).subspan(4, 3), 600);
    const auto found = reader.feed(ByteView(bogus).subspan(7), 700);
    ASSERT_EQ(framesIn(found).size(), 1u);
    EXPECT_EQ(found.front().type, Type::Oversize);
    EXPECT_EQ(found.back().firstByteUs, 600);
}

// --- Garbage and resynchronisation ----------------------------------------------------------

TEST(FrameReaderResync, GarbageBeforeAFrameIsSkippedAndCountedOnce) {
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
}

TEST(FrameReaderResync, HugeLengthDoesNotSwallowTheFollowingFrame) {
    Bytes bogus = header(0x80, 0x54, 0, 0);
    bogus[7] = 0xFF; // Length 0xFFFF
    bogus[8] = 0xFF;
    const Bytes frame = dataFrame(0x80, kImage, 1);
    FrameReader reader;
    const auto events = reader.feed(join({bogus, frame}), 1);
    ASSERT_EQ(framesIn(events).size(), 1u);
    EXPECT_EQ(framesIn(events)[0], frame);
    EXPECT_EQ(events.front().type, Type::Oversize);
    EXPECT_EQ(events.front().count, 0xFFFFu);
}

TEST(FrameReaderResync, QuietLineAfterAHalfFrameReportsItTruncated) {
    const Bytes frame = dataFrame(0x80, kImage, 1);
    FrameReader reader;
    reader.feed(ByteView(frame).first(100), 1);
    ASSERT_TRUE(reader.holdsBytes());
    const auto events = reader.flush();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].type, Type::Truncated);
    EXPECT_EQ(events[0].count, 100u);
    EXPECT_FALSE(reader.holdsBytes());
    // The retry that follows is read cleanly.
    EXPECT_EQ(framesIn(reader.feed(frame, 2)).size(), 1u);
}

} // namespace
} // namespace posflash::sim
