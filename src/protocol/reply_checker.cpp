#include "protocol/reply_checker.h"

#include "protocol/frames.h"

namespace posflash {

namespace {

constexpr std::uint8_t kStatusGreeting = 1;
constexpr std::uint8_t kStatusAccepted = 4;
constexpr std::uint8_t kStatusRefused5 = 5;
constexpr std::uint8_t kStatusRefused6 = 6;

ReplyVerdict acceptsCommand(ByteView reply, Command command) {
    const auto status = ReplyStatus(reply);
    const auto echoed = ReplyCommand(reply);
    return status == kStatusAccepted && echoed == static_cast<std::uint8_t>(command)
               ? ReplyVerdict::Accepted
               : ReplyVerdict::None;
}

} // namespace

ReplyVerdict JudgeReply(short bootloaderStep, short expectedFrameNo, ByteView reply) {
    switch (bootloaderStep) {
    case step::kLink:
        return HasFramePrefix(reply) && ReplyStatus(reply) == kStatusGreeting
                   ? ReplyVerdict::Accepted
                   : ReplyVerdict::None;
    case step::kBootpAnswered:
        return ReplyVerdict::Accepted; // any datagram on the link port completes the link
    case step::kStartFrame:
        return acceptsCommand(reply, Command::Start);
    case step::kDataFrame: {
        const auto frameNo = ReplyFrameNo(reply);
        if (!frameNo)
            return ReplyVerdict::None;
        const auto status = ReplyStatus(reply);
        if (status == kStatusAccepted && *frameNo == static_cast<std::uint16_t>(expectedFrameNo))
            return ReplyVerdict::Accepted;
        if (status == kStatusRefused5)
            return ReplyVerdict::RefusedStatus5;
        if (status == kStatusRefused6)
            return ReplyVerdict::RefusedStatus6;
        return ReplyVerdict::None; // an acceptance of another frame is ignored
    }
    case step::kEndFrame:
        return acceptsCommand(reply, Command::End);
    case step::kFinalFrame:
        return acceptsCommand(reply, Command::Final);
    case step::kFontMode:
        return acceptsCommand(reply, Command::FontMode);
    default:
        return ReplyVerdict::None;
    }
}

} // namespace posflash
