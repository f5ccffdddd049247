#include "protocol/frames.h"

#include "protocol/checksums.h"

#include <algorithm>

namespace posflash {

namespace {

// Writes every header byte of out, which holds the whole frame.
void putHeader(Bytes& out, ImageKind kind, Command command, std::uint16_t frameSum) {
    std::copy(frame::kPrefix.begin(), frame::kPrefix.end(), out.begin());
    out[frame::kStatusAt] = frame::kToolStatus;
    out[frame::kKindAt] = KindByte(kind);
    out[frame::kCommandAt] = static_cast<std::uint8_t>(command);
    putU16(out, frame::kLengthAt, static_cast<std::uint16_t>(out.size() - frame::kHeaderSize));
    putU16(out, frame::kFrameSumAt, frameSum);
}

Bytes header(ImageKind kind, Command command, std::size_t totalSize, std::uint16_t frameSum) {
    Bytes out(totalSize, 0);
    putHeader(out, kind, command, frameSum);
    return out;
}

// The frame prefix, FFh, "boot", 08h, 0Ah.
constexpr std::array<std::uint8_t, 11> kBootLoaderCommand{0x1F, 0x1B, 0x1C, 0x06, 0xFF, 0x62,
                                                          0x6F, 0x6F, 0x74, 0x08, 0x0A};

void putDigits(Bytes& out, std::size_t at, std::string_view digits) {
    if (digits.size() != 6)
        return;
    std::copy(digits.begin(), digits.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
}

} // namespace

std::size_t DataFrameCount(std::size_t imageLength, int frameDataSize) {
    if (frameDataSize <= 0)
        return 0;
    const auto size = static_cast<std::size_t>(frameDataSize);
    return (imageLength + size - 1) / size;
}

ImageProblem CheckImageFrameable(std::size_t imageLength, int frameDataSize) {
    if (imageLength == 0)
        return ImageProblem::Empty;
    if (DataFrameCount(imageLength, frameDataSize) > frame::kMaxDataFrames)
        return ImageProblem::TooManyFrames;
    return ImageProblem::None;
}

std::uint8_t KindByte(ImageKind kind) {
    return kind == ImageKind::Font ? 0x81 : 0x80;
}

Bytes BuildStartFrame(ImageKind kind, ByteView image, std::string_view date, std::string_view time,
                      const PcCode& pcCode) {
    Bytes out = header(kind, Command::Start, frame::kStartFrameSize, 0);
    putU32(out, frame::kImageLengthAt, static_cast<std::uint32_t>(image.size()));
    // The CRC takes the low two bytes of a 4-byte field; bytes 17 and 18 stay zero.
    putU16(out, frame::kImageCrcAt, GetCRC16(image));
    putDigits(out, frame::kStartDateAt, date);
    putDigits(out, frame::kStartTimeAt, time);
    std::copy(pcCode.begin(), pcCode.end(), out.begin() + frame::kPcCodeAt);
    return out;
}

Bytes BuildDataFrame(ImageKind kind, ByteView image, std::size_t frameNo, int frameDataSize) {
    Bytes out;
    BuildDataFrameInto(out, kind, image, frameNo, frameDataSize);
    return out;
}

void BuildDataFrameInto(Bytes& out, ImageKind kind, ByteView image, std::size_t frameNo,
                        int frameDataSize) {
    const auto size = static_cast<std::size_t>(frameDataSize);
    const std::size_t offset = (frameNo - 1) * size;
    const std::size_t n = offset < image.size() ? std::min(size, image.size() - offset) : 0;
    const ByteView data = image.subspan(std::min(offset, image.size()), n);

    // Every byte is written below: the header, the frame number, the offset and the slice.
    out.resize(frame::kDataHeaderSize + n);
    putHeader(out, kind, Command::Data, static_cast<std::uint16_t>(GetSum(data) & 0xFFFF));
    putU16(out, frame::kFrameNoAt, static_cast<std::uint16_t>(frameNo));
    putU32(out, frame::kDataOffsetAt, static_cast<std::uint32_t>(offset));
    std::copy(data.begin(), data.end(), out.begin() + frame::kDataHeaderSize);
}

Bytes BuildClosingFrame(ImageKind kind, Command command, std::uint16_t lastFrameSum) {
    return header(kind, command, frame::kHeaderSize, lastFrameSum);
}

Bytes BuildBootLoaderCommand() {
    return Bytes(kBootLoaderCommand.begin(), kBootLoaderCommand.end());
}

Bytes BuildFontModeCommand() {
    return header(ImageKind::Program, Command::FontMode, frame::kHeaderSize, 0);
}

bool IsBootCommandEcho(ByteView block) {
    return (block.size() == 9 || block.size() == 10) &&
           std::equal(block.begin(), block.end(), kBootLoaderCommand.begin());
}

std::uint16_t FrameSumOf(ByteView frame) {
    return frame.size() >= frame::kHeaderSize ? getU16(frame, frame::kFrameSumAt) : 0;
}

bool HasFramePrefix(ByteView reply) {
    return reply.size() >= frame::kPrefix.size() &&
           std::equal(frame::kPrefix.begin(), frame::kPrefix.end(), reply.begin());
}

std::optional<std::uint8_t> ReplyStatus(ByteView reply) {
    if (reply.size() <= frame::kStatusAt)
        return std::nullopt;
    return reply[frame::kStatusAt];
}

std::optional<std::uint8_t> ReplyCommand(ByteView reply) {
    if (reply.size() <= frame::kCommandAt)
        return std::nullopt;
    return reply[frame::kCommandAt];
}

std::optional<std::uint16_t> ReplyFrameNo(ByteView reply) {
    if (reply.size() < frame::kFrameNoAt + 2)
        return std::nullopt;
    return getU16(reply, frame::kFrameNoAt);
}

} // namespace posflash
