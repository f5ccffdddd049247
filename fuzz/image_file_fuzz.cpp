// Firmware and font files chosen by a user: any bytes. The checksum test, the frame limits,
// and the frames built from the image, which the simulated printer must read back whole.

#include "fuzz_support.h"

#include "printer-sim/frame_reader.h"
#include "protocol/checksums.h"
#include "protocol/frames.h"
#include "protocol/image_file.h"

using namespace posflash;

namespace {

std::uint32_t trailerSum(ByteView image) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 4 < image.size(); ++i)
        sum += image[i];
    return sum;
}

void framesCarryTheImage(ByteView image, ImageKind kind, int frameDataSize) {
    const ImageProblem problem = CheckImageFrameable(image.size(), frameDataSize);
    if (image.empty()) {
        FUZZ_CHECK(problem == ImageProblem::Empty);
        return;
    }
    FUZZ_CHECK(problem == ImageProblem::None);

    PcCode pcCode{};
    pcCode.fill(0xA5);
    std::vector<Bytes> frames{BuildStartFrame(kind, image, "261207", "020304", pcCode)};
    const Bytes& start = frames.front();
    FUZZ_CHECK(start.size() == frame::kStartFrameSize);
    FUZZ_CHECK(getU32(start, frame::kImageLengthAt) == image.size());
    // The printer's own CRC, computed bit by bit, agrees with the tool's table.
    FUZZ_CHECK(getU16(start, frame::kImageCrcAt) == sim::Crc16Xmodem(image));

    const std::size_t count = DataFrameCount(image.size(), frameDataSize);
    Bytes carried;
    for (std::size_t no = 1; no <= count; ++no) {
        Bytes data = BuildDataFrame(kind, image, no, frameDataSize);
        FUZZ_CHECK(getU16(data, frame::kLengthAt) == data.size() - frame::kHeaderSize);
        FUZZ_CHECK(getU16(data, frame::kFrameNoAt) == no);
        FUZZ_CHECK(getU32(data, frame::kDataOffsetAt) == carried.size());
        const ByteView body = ByteView(data).subspan(frame::kDataHeaderSize);
        FUZZ_CHECK(no == count || body.size() == static_cast<std::size_t>(frameDataSize));
        FUZZ_CHECK(FrameSumOf(data) == (sim::ByteSum(body) & 0xFFFF));
        carried.insert(carried.end(), body.begin(), body.end());
        frames.push_back(std::move(data));
    }
    FUZZ_CHECK(std::equal(carried.begin(), carried.end(), image.begin(), image.end()));

    Bytes stream;
    for (const Bytes& f : frames)
        stream.insert(stream.end(), f.begin(), f.end());
    sim::FrameReader reader;
    const auto events = reader.feed(stream, 1);
    FUZZ_CHECK(events.size() == frames.size() && !reader.holdsBytes());
    for (std::size_t i = 0; i < events.size(); ++i)
        FUZZ_CHECK(events[i].type == sim::ReaderEvent::Type::Frame && events[i].frame == frames[i]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ByteView image(data, size);
    const bool valid = CheckBinImageValid(image);
    FUZZ_CHECK(valid == (size >= 4 && getU32(image, size - 4) == trailerSum(image)));

    // The same bytes read from a file.
    const QString path = fuzz::scratchPath("firmware.bin");
    fuzz::writeWhole(path,
                     QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    const Result<Bytes> loaded = LoadImageFile(path, MaxImageBytes(kProgramFrameDataSize));
    FUZZ_CHECK(loaded.ok() && std::equal(loaded->begin(), loaded->end(), data, data + size));
    FUZZ_CHECK(CheckBinFileValid(path) == valid);

    framesCarryTheImage(image, ImageKind::Program, kProgramFrameDataSize);
    framesCarryTheImage(image, ImageKind::Font, kFontFrameDataSize);
    return 0;
}
