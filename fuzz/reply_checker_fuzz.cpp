// The printer's replies: any bytes may arrive on the serial line or the link port.
// Input: the step selector, the expected frame number (2 bytes), then the reply.

#include "fuzz_support.h"

#include "protocol/frames.h"
#include "protocol/reply_checker.h"

#include <algorithm>

using namespace posflash;

namespace {

constexpr short kSteps[] = {
    step::kLink,     step::kBootpAnswered, step::kStartFrame, step::kDataFrame,
    step::kEndFrame, step::kFinalFrame,    step::kFontMode,   6};

std::optional<Command> commandOf(short bootloaderStep) {
    switch (bootloaderStep) {
    case step::kStartFrame:
        return Command::Start;
    case step::kEndFrame:
        return Command::End;
    case step::kFinalFrame:
        return Command::Final;
    case step::kFontMode:
        return Command::FontMode;
    default:
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3)
        return 0;
    const short current = kSteps[data[0] % std::size(kSteps)];
    const auto expected = static_cast<short>(data[1] | (data[2] << 8));
    const ByteView reply(data + 3, size - 3);
    const ReplyVerdict verdict = JudgeReply(current, expected, reply);

    // Nothing past the FrameNo field decides a verdict.
    const std::size_t fields = frame::kFrameNoAt + 2;
    FUZZ_CHECK(JudgeReply(current, expected, reply.first(std::min(reply.size(), fields))) ==
               verdict);

    const auto byteAt = [&](std::size_t at) { return at < reply.size() ? reply[at] : -1; };
    switch (verdict) {
    case ReplyVerdict::None:
        FUZZ_CHECK(current != step::kBootpAnswered);
        break;
    case ReplyVerdict::Accepted:
        if (current == step::kBootpAnswered)
            break;
        if (current == step::kLink) {
            FUZZ_CHECK(HasFramePrefix(reply) && byteAt(frame::kStatusAt) == 1);
        } else if (current == step::kDataFrame) {
            FUZZ_CHECK(byteAt(frame::kStatusAt) == 4 && reply.size() >= fields);
            FUZZ_CHECK(getU16(reply, frame::kFrameNoAt) == static_cast<std::uint16_t>(expected));
        } else {
            const auto command = commandOf(current);
            FUZZ_CHECK(command.has_value());
            FUZZ_CHECK(byteAt(frame::kStatusAt) == 4 &&
                       byteAt(frame::kCommandAt) == static_cast<int>(*command));
        }
        break;
    case ReplyVerdict::RefusedStatus5:
    case ReplyVerdict::RefusedStatus6:
        // Refusals only end a data frame, and only when its whole reply arrived.
        FUZZ_CHECK(current == step::kDataFrame && reply.size() >= fields);
        FUZZ_CHECK(byteAt(frame::kStatusAt) == (verdict == ReplyVerdict::RefusedStatus5 ? 5 : 6));
        break;
    default:
        FUZZ_CHECK(!"a verdict outside the enumeration");
    }
    return 0;
}
