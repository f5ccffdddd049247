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
    const struct { const char* name; short step; short expectedFrameNo; Bytes reply; Verdict verdict; } cases[] = {
        {"link: prefix and status 1, nothing more", step::kLink, 0, reply(1, 0, 0, 5), Verdict::Accepted},
        {"link without the prefix", step::kLink, 0, noPrefix(1, 0), Verdict::None},
        {"link with status 4", step::kLink, 0, reply(4, 0), Verdict::None},
        {"link cut before the status", step::kLink, 0, reply(1, 0, 0, 4), Verdict::None},
        {"BOOTP answered: any datagram", step::kBootpAnswered, 0, Bytes{0x42}, Verdict::Accepted},
        {"start: 7 bytes are enough", step::kStartFrame, 0, reply(4, 0x50, 0, 7), Verdict::Accepted},
        {"start without the prefix", step::kStartFrame, 0, noPrefix(4, 0x50), Verdict::Accepted},
        {"start cut before the command", step::kStartFrame, 0, reply(4, 0x50, 0, 6), Verdict::None},
        {"start echoing another command", step::kStartFrame, 0, reply(4, 0x51), Verdict::None},
        {"data: any command byte", step::kDataFrame, 3, reply(4, 0x00, 3), Verdict::Accepted},
        {"data without the prefix", step::kDataFrame, 3, noPrefix(4, 0x54, 3), Verdict::Accepted},
        {"data: frame number is little-endian", step::kDataFrame, 0x0102, reply(4, 0x54, 0x0102), Verdict::Accepted},
        {"data: frame number byte-swapped", step::kDataFrame, 0x0201, reply(4, 0x54, 0x0102), Verdict::None},
        {"data: frame 259 is not frame 3", step::kDataFrame, 3, reply(4, 0x54, 0x0103), Verdict::None},
        {"data: acceptance of another frame", step::kDataFrame, 3, reply(4, 0x54, 2), Verdict::None},
        {"data: status 5 whatever the number", step::kDataFrame, 3, reply(5, 0x54, 99), Verdict::RefusedStatus5},
        {"data: status 6", step::kDataFrame, 3, noPrefix(6, 0x54, 0), Verdict::RefusedStatus6},
        {"data cut before the frame number", step::kDataFrame, 0, reply(4, 0x54, 0, 12), Verdict::None},
        {"data refusal cut before the frame number", step::kDataFrame, 0, reply(5, 0x54, 0, 12), Verdict::None},
        {"end without the prefix", step::kEndFrame, 0, noPrefix(4, 0x51), Verdict::Accepted},
        {"end echoing the start", step::kEndFrame, 0, reply(4, 0x50), Verdict::None},
        {"end cut before the command", step::kEndFrame, 0, reply(4, 0x51, 0, 6), Verdict::None},
        {"final without the prefix", step::kFinalFrame, 0, noPrefix(4, 0x56), Verdict::Accepted},
        {"final with status 5", step::kFinalFrame, 0, reply(5, 0x56), Verdict::None},
        {"final cut before the command", step::kFinalFrame, 0, reply(4, 0x56, 0, 6), Verdict::None},
        {"font mode without the prefix", step::kFontMode, 0, noPrefix(4, 0xF0), Verdict::Accepted},
        {"font mode cut before the command", step::kFontMode, 0, reply(4, 0xF0, 0, 6), Verdict::None},
        {"unknown step", 6, 0, reply(4, 0x56), Verdict::None},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(JudgeReply(c.step, c.expectedFrameNo, c.reply), c.verdict);
    }
}

} // namespace
} // namespace posflash
