#include "protocol/reply_checker.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

// A reply of `size` bytes: prefix (unless dropped), status, command, frame number at 11..12.
Bytes reply(std::uint8_t status, std::uint8_t command, std::uint16_t frameNo = 0,
            std::size_t size = 13, bool prefix = true) {
    const auto low = static_cast<std::uint8_t>(frameNo & 0xFF);
    const auto high = static_cast<std::uint8_t>(frameNo >> 8);
    Bytes r{0x1F, 0x1B, 0x1C, 0x06, status, 0x80, command, 0, 0, 0, 0, low, high};
    if (!prefix)
        std::fill_n(r.begin(), 4, 0);
    r.resize(size);
    return r;
}

Bytes noPrefix(std::uint8_t status, std::uint8_t command, std::uint16_t frameNo = 0) {
    return reply(status, command, frameNo, 13, false);
}

// The fuzz target proves that nothing short of the checked fields is accepted; these pin each
// step's rule, the replies a stricter checker would wrongly refuse included.
TEST(ReplyChecker, EachStepJudgesOnlyItsOwnFields) {
    // clang-format off
    const struct { const char* name; short step; short expectedFrameNo; Bytes reply; ReplyVerdict verdict; } cases[] = {
        {"link: prefix and status 1, nothing more", step::kLink, 0, reply(1, 0, 0, 5), ReplyVerdict::Accepted},
        {"link without the prefix", step::kLink, 0, noPrefix(1, 0), ReplyVerdict::None},
        {"link with status 4", step::kLink, 0, reply(4, 0), ReplyVerdict::None},
        {"link cut before the status", step::kLink, 0, reply(1, 0, 0, 4), ReplyVerdict::None},
        {"BOOTP answered: any datagram", step::kBootpAnswered, 0, Bytes{0x42}, ReplyVerdict::Accepted},
        {"start: 7 bytes are enough", step::kStartFrame, 0, reply(4, 0x50, 0, 7), ReplyVerdict::Accepted},
        {"start without the prefix", step::kStartFrame, 0, noPrefix(4, 0x50), ReplyVerdict::Accepted},
        {"start cut before the command", step::kStartFrame, 0, reply(4, 0x50, 0, 6), ReplyVerdict::None},
        {"start echoing another command", step::kStartFrame, 0, reply(4, 0x51), ReplyVerdict::None},
        {"data: any command byte", step::kDataFrame, 3, reply(4, 0x00, 3), ReplyVerdict::Accepted},
        {"data without the prefix", step::kDataFrame, 3, noPrefix(4, 0x54, 3), ReplyVerdict::Accepted},
        {"data: frame number is little-endian", step::kDataFrame, 0x0102, reply(4, 0x54, 0x0102), ReplyVerdict::Accepted},
        {"data: frame number byte-swapped", step::kDataFrame, 0x0201, reply(4, 0x54, 0x0102), ReplyVerdict::None},
        {"data: frame 259 is not frame 3", step::kDataFrame, 3, reply(4, 0x54, 0x0103), ReplyVerdict::None},
        {"data: acceptance of another frame", step::kDataFrame, 3, reply(4, 0x54, 2), ReplyVerdict::None},
        {"data: status 5 whatever the number", step::kDataFrame, 3, reply(5, 0x54, 99), ReplyVerdict::RefusedStatus5},
        {"data: status 6", step::kDataFrame, 3, noPrefix(6, 0x54, 0), ReplyVerdict::RefusedStatus6},
        {"data cut before the frame number", step::kDataFrame, 0, reply(4, 0x54, 0, 12), ReplyVerdict::None},
        {"data refusal cut before the frame number", step::kDataFrame, 0, reply(5, 0x54, 0, 12), ReplyVerdict::None},
        {"end without the prefix", step::kEndFrame, 0, noPrefix(4, 0x51), ReplyVerdict::Accepted},
        {"end echoing the start", step::kEndFrame, 0, reply(4, 0x50), ReplyVerdict::None},
        {"end cut before the command", step::kEndFrame, 0, reply(4, 0x51, 0, 6), ReplyVerdict::None},
        {"final without the prefix", step::kFinalFrame, 0, noPrefix(4, 0x56), ReplyVerdict::Accepted},
        {"final with status 5", step::kFinalFrame, 0, reply(5, 0x56), ReplyVerdict::None},
        {"final cut before the command", step::kFinalFrame, 0, reply(4, 0x56, 0, 6), ReplyVerdict::None},
        {"font mode without the prefix", step::kFontMode, 0, noPrefix(4, 0xF0), ReplyVerdict::Accepted},
        {"font mode cut before the command", step::kFontMode, 0, reply(4, 0xF0, 0, 6), ReplyVerdict::None},
        {"unknown step", 6, 0, reply(4, 0x56), ReplyVerdict::None},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(JudgeReply(c.step, c.expectedFrameNo, c.reply), c.verdict);
    }
}

} // namespace
} // namespace posflash
