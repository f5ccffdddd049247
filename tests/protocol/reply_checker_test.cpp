#include "protocol/reply_checker.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

Bytes reply(std::uint8_t status, std::uint8_t command, std::uint16_t frameNo = 0,
            std::size_t size = 13) {
    Bytes r{0x1F,
            0x1B,
            0x1C,
            0x06,
            status,
            0x80,
            command,
            0,
            0,
            0,
            0,
            static_cast<std::uint8_t>(frameNo & 0xFF),
            static_cast<std::uint8_t>(frameNo >> 8)};
    r.resize(size);
    return r;
}

TEST(ReplyChecker, LinkGreetingNeedsPrefixAndStatus1) {
    EXPECT_EQ(JudgeReply(step::kLink, 0, reply(1, 0, 0, 5)), Verdict::Accepted);
    Bytes noPrefix = reply(1, 0);
    noPrefix[3] = 0x07;
    EXPECT_EQ(JudgeReply(step::kLink, 0, noPrefix), Verdict::None);
    EXPECT_EQ(JudgeReply(step::kLink, 0, reply(4, 0)), Verdict::None);
    EXPECT_EQ(JudgeReply(step::kLink, 0, reply(1, 0, 0, 4)), Verdict::None);
}

TEST(ReplyChecker, AnyDatagramCompletesTheLinkAfterTheBootpAnswer) {
    EXPECT_EQ(JudgeReply(step::kBootpAnswered, 0, Bytes{0x42}), Verdict::Accepted);
}

TEST(ReplyChecker, ClosingAndStartFramesNeedTheirOwnCommandEchoed) {
    EXPECT_EQ(JudgeReply(step::kStartFrame, 0, reply(4, 0x50, 0, 7)), Verdict::Accepted);
    EXPECT_EQ(JudgeReply(step::kStartFrame, 0, reply(4, 0x51)), Verdict::None);
    EXPECT_EQ(JudgeReply(step::kEndFrame, 0, reply(4, 0x51)), Verdict::Accepted);
    EXPECT_EQ(JudgeReply(step::kEndFrame, 0, reply(4, 0x56)), Verdict::None);
    EXPECT_EQ(JudgeReply(step::kFinalFrame, 0, reply(4, 0x56)), Verdict::Accepted);
    EXPECT_EQ(JudgeReply(step::kFontMode, 0, reply(4, 0xF0)), Verdict::Accepted);
    EXPECT_EQ(JudgeReply(step::kFinalFrame, 0, reply(5, 0x56)), Verdict::None);
    // The prefix is not looked at after the link.
    Bytes odd = reply(4, 0x50);
    odd[0] = 0;
    EXPECT_EQ(JudgeReply(step::kStartFrame, 0, odd), Verdict::Accepted);
    // Too short to hold the command byte.
    EXPECT_EQ(JudgeReply(step::kStartFrame, 0, reply(4, 0x50, 0, 6)), Verdict::None);
}

TEST(ReplyChecker, DataFrameAcceptanceNeedsTheExpectedLittleEndianFrameNumber) {
    EXPECT_EQ(JudgeReply(step::kDataFrame, 3, reply(4, 0x00, 3)), Verdict::Accepted);
    Bytes swapped = reply(4, 0x54);
    swapped[11] = 0x00;
    swapped[12] = 0x03; // frame 768
    EXPECT_EQ(JudgeReply(step::kDataFrame, 3, swapped), Verdict::None);
    EXPECT_EQ(JudgeReply(step::kDataFrame, 7, reply(4, 0x54, 6)), Verdict::None);
    EXPECT_EQ(JudgeReply(step::kDataFrame, 3, reply(4, 0x54, 3, 12)), Verdict::None);
}

TEST(ReplyChecker, DataFrameRefusalsWhateverTheirFrameNumber) {
    EXPECT_EQ(JudgeReply(step::kDataFrame, 3, reply(5, 0x54, 99)), Verdict::RefusedStatus5);
    EXPECT_EQ(JudgeReply(step::kDataFrame, 3, reply(6, 0x54, 0)), Verdict::RefusedStatus6);
    EXPECT_EQ(JudgeReply(step::kDataFrame, 3, reply(7, 0x54, 3)), Verdict::None);
}

TEST(ReplyChecker, UnknownStepsAndEmptyRepliesAcceptNothing) {
    EXPECT_EQ(JudgeReply(99, 0, reply(4, 0x50)), Verdict::None);
    for (short s : {step::kLink, step::kStartFrame, step::kDataFrame, step::kFontMode})
        EXPECT_EQ(JudgeReply(s, 0, Bytes{}), Verdict::None) << "step " << s;
}

} // namespace
} // namespace posflash
