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

// The fuzz target proves that nothing short of the checked fields is accepted; these are the
// replies that must be, though a stricter checker would refuse them.
TEST(ReplyChecker, AcceptsTheShortestAndOddestRepliesThePrinterMaySend) {
    EXPECT_EQ(JudgeReply(step::kLink, 0, reply(1, 0, 0, 5)), Verdict::Accepted);
    EXPECT_EQ(JudgeReply(step::kBootpAnswered, 0, Bytes{0x42}), Verdict::Accepted);
    EXPECT_EQ(JudgeReply(step::kStartFrame, 0, reply(4, 0x50, 0, 7)), Verdict::Accepted);
    Bytes noPrefix = reply(4, 0x50); // the prefix is not looked at after the link
    noPrefix[0] = 0;
    EXPECT_EQ(JudgeReply(step::kStartFrame, 0, noPrefix), Verdict::Accepted);
    EXPECT_EQ(JudgeReply(step::kDataFrame, 3, reply(4, 0x00, 3)), Verdict::Accepted);
    EXPECT_EQ(JudgeReply(step::kDataFrame, 3, reply(5, 0x54, 99)), Verdict::RefusedStatus5);
    EXPECT_EQ(JudgeReply(step::kDataFrame, 3, reply(6, 0x54, 0)), Verdict::RefusedStatus6);
}

} // namespace
} // namespace posflash
