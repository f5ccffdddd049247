#pragma once

#include "base/bytes.h"

namespace posflash {

// Steps of the boot dialogue: which answer of the printer is awaited.
namespace step {
inline constexpr short kLink = 0;
inline constexpr short kBootpAnswered = 1;
inline constexpr short kStartFrame = 2;
inline constexpr short kDataFrame = 3;
inline constexpr short kEndFrame = 4;
inline constexpr short kFinalFrame = 5;
inline constexpr short kFontMode = 240;
} // namespace step

// ReplyResult values.
enum class ReplyVerdict : short { None = 0, Accepted = 1, RefusedStatus5 = 2, RefusedStatus6 = 3 };

// Judges one reception (a datagram, or what one receive event delivered) against the step.
// A reply too short for the bytes its step tests is never accepted.
ReplyVerdict JudgeReply(short bootloaderStep, short expectedFrameNo, ByteView reply);

} // namespace posflash
