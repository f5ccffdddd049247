#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// The boot loader's view of the wire: frame layout, reply layout and the two checksums.
// Kept apart from the tool's own code so that the simulator checks the tool, not itself.
namespace posflash::sim {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

inline constexpr std::array<std::uint8_t, 4> kPrefix{0x1F, 0x1B, 0x1C, 0x06};
inline constexpr std::size_t kHeaderSize = 11;

// Header offsets.
inline constexpr std::size_t kStatusAt = 4;
inline constexpr std::size_t kKindAt = 5;
inline constexpr std::size_t kCommandAt = 6;
inline constexpr std::size_t kLengthAt = 7;
inline constexpr std::size_t kFrameSumAt = 9;

// Data frame body.
inline constexpr std::size_t kFrameNoAt = 11;
inline constexpr std::size_t kDataOffsetAt = 13;
inline constexpr std::size_t kDataAt = 17;
inline constexpr std::size_t kDataFieldsLength = 6; // FrameNo and DataOffset

// Start frame body.
inline constexpr std::size_t kStartLength = 544;
inline constexpr std::size_t kImageLengthAt = 11;
inline constexpr std::size_t kImageCrcAt = 15;
inline constexpr std::size_t kStartDateAt = 27;
inline constexpr std::size_t kStartTimeAt = 33;
inline constexpr std::size_t kPcCodeAt = 43;
inline constexpr std::size_t kPcCodeSize = 512;

inline constexpr std::uint8_t kToolStatus = 0x03;
inline constexpr std::uint8_t kAccepted = 0x04;
inline constexpr std::uint8_t kRefused = 0x05;
inline constexpr std::uint8_t kRefusedOther = 0x06;

inline constexpr std::uint8_t kProgram = 0x80;
inline constexpr std::uint8_t kFont = 0x81;

inline constexpr std::uint8_t kStart = 0x50;
inline constexpr std::uint8_t kData = 0x54;
inline constexpr std::uint8_t kEnd = 0x51;
inline constexpr std::uint8_t kFinal = 0x56;

inline constexpr int kProgramSlice = 512;
inline constexpr int kFontSlice = 1024;
// FrameNo is a signed 16-bit count on the printer.
inline constexpr std::uint32_t kMaxDataFrames = 32767;

// The longest legal frame is a full font data frame. A header announcing a little more is
// still read whole so its fields can be reported; beyond that it is line noise, and waiting
// for up to 64 KiB would swallow the frames that follow.
inline constexpr std::size_t kLongestLength = kFontSlice + kDataFieldsLength;
inline constexpr std::size_t kLengthCap = kLongestLength + 64;

inline std::uint16_t readU16(ByteView in, std::size_t at) {
    return static_cast<std::uint16_t>(in[at] | (in[at + 1] << 8));
}

inline std::uint32_t readU32(ByteView in, std::size_t at) {
    return static_cast<std::uint32_t>(in[at]) | (static_cast<std::uint32_t>(in[at + 1]) << 8) |
           (static_cast<std::uint32_t>(in[at + 2]) << 16) |
           (static_cast<std::uint32_t>(in[at + 3]) << 24);
}

inline void writeU16(Bytes& out, std::size_t at, std::uint16_t value) {
    out[at] = static_cast<std::uint8_t>(value & 0xFF);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline int sliceOf(std::uint8_t kind) {
    return kind == kProgram ? kProgramSlice : kind == kFont ? kFontSlice : 0;
}

// CRC-16/XMODEM computed bit by bit, deliberately unlike the tool's table-driven one.
std::uint16_t Crc16Xmodem(ByteView bytes);

// Sum of the bytes modulo 2^32; FrameSum is its low 16 bits.
std::uint32_t ByteSum(ByteView bytes);

// Reply laid out like a frame: 11 bytes, or 13 with the FrameNo for a data frame.
Bytes BuildReply(std::uint8_t status, std::uint8_t kind, std::uint8_t command,
                 std::optional<std::uint16_t> frameNo);

inline std::int64_t MonotonicMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

inline std::int64_t MonotonicNanos() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace posflash::sim
