#pragma once

#include "base/bytes.h"
#include "base/image_kind.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace posflash {

namespace frame {
inline constexpr std::array<std::uint8_t, 4> kPrefix{0x1F, 0x1B, 0x1C, 0x06};
inline constexpr std::size_t kHeaderSize = 11;
inline constexpr std::size_t kStartFrameSize = 555;
inline constexpr std::size_t kPcCodeSize = 512;
inline constexpr std::size_t kDataHeaderSize = 17;
inline constexpr std::uint8_t kToolStatus = 0x03;
// FrameNo and the frame count are 16-bit signed on the printer's side.
inline constexpr int kMaxDataFrames = 32767;

// Offsets of the header fields.
inline constexpr std::size_t kStatusAt = 4;
inline constexpr std::size_t kKindAt = 5;
inline constexpr std::size_t kCommandAt = 6;
inline constexpr std::size_t kLengthAt = 7;
inline constexpr std::size_t kFrameSumAt = 9;
inline constexpr std::size_t kFrameNoAt = 11;
inline constexpr std::size_t kDataOffsetAt = 13;
inline constexpr std::size_t kImageLengthAt = 11;
inline constexpr std::size_t kImageCrcAt = 15;
inline constexpr std::size_t kStartDateAt = 27;
inline constexpr std::size_t kStartTimeAt = 33;
inline constexpr std::size_t kPcCodeAt = 43;
} // namespace frame

enum class Command : std::uint8_t {
    Start = 0x50,    // "P"
    Data = 0x54,     // "T"
    End = 0x51,      // "Q"
    Final = 0x56,    // "V"
    FontMode = 0xF0, // confirmation of the font-mode command
};

// The kind byte of every frame: 80h for a program, 81h for a font.
std::uint8_t KindByte(ImageKind kind);

inline constexpr int kProgramFrameDataSize = 512;
inline constexpr int kFontFrameDataSize = 1024;

using PcCode = std::array<std::uint8_t, frame::kPcCodeSize>;

// Number of data frames for an image: the length divided by the slice size, rounded up.
std::size_t DataFrameCount(std::size_t imageLength, int frameDataSize);

// Why an image cannot be sent, before any frame is built.
enum class ImageProblem { None, Empty, TooManyFrames };
ImageProblem CheckImageFrameable(std::size_t imageLength, int frameDataSize);

// date is "yymmdd", time "hhmmss"; anything else leaves zeros in place.
Bytes BuildStartFrame(ImageKind kind, ByteView image, std::string_view date, std::string_view time,
                      const PcCode& pcCode);

// frameNo counts from 1; the last frame is not padded.
Bytes BuildDataFrame(ImageKind kind, ByteView image, std::size_t frameNo, int frameDataSize);
// The same into out, keeping its storage: a download builds thousands of them in turn.
void BuildDataFrameInto(Bytes& out, ImageKind kind, ByteView image, std::size_t frameNo,
                        int frameDataSize);

// End (0x51) and final (0x56) frames: the header alone, FrameSum of the last data frame.
Bytes BuildClosingFrame(ImageKind kind, Command command, std::uint16_t lastFrameSum);

std::uint16_t FrameSumOf(ByteView frame);

// Sent to running firmware (TCP port 4000 or its USB device) to restart it into the boot
// loader: the frame prefix, FFh, "boot", 08h, 0Ah. Not a frame: it has no header.
Bytes BuildBootLoaderCommand();
// Sent to running firmware before a font download through it: a header-only frame of the
// program kind with command F0h, Length and FrameSum zero.
Bytes BuildFontModeCommand();
// The firmware's echo of the boot-loader command, in one block: its first nine or first ten
// bytes, never the whole command.
bool IsBootCommandEcho(ByteView block);

// Reply readers: empty when the reply is too short to hold the field.
bool HasFramePrefix(ByteView reply);
std::optional<std::uint8_t> ReplyStatus(ByteView reply);
std::optional<std::uint8_t> ReplyCommand(ByteView reply);
std::optional<std::uint16_t> ReplyFrameNo(ByteView reply);

} // namespace posflash
