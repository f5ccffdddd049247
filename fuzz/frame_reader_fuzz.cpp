// The simulated printer's view of the serial line: any bytes, cut into reads anywhere.
// Input: the byte stream, then the number of reads and their sizes (taken from the end).

#include "fuzz_support.h"

#include "printer-sim/frame_reader.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace posflash::sim;

namespace {

struct Outcome {
    std::vector<Bytes> frames;
    std::vector<std::size_t> oversize;
};

// Walks the events in stream order; every byte is a frame's, skipped, truncated, or the one
// byte an oversize header gives up. Frames carry the time of the read of their first byte.
Outcome account(const std::vector<ReaderEvent>& events, const std::vector<std::size_t>& readEnds,
                std::size_t total) {
    Outcome out;
    std::size_t at = 0;
    for (const ReaderEvent& e : events) {
        switch (e.type) {
        case ReaderEvent::Type::Frame: {
            FUZZ_CHECK(e.frame.size() >= kHeaderSize);
            FUZZ_CHECK(std::equal(kPrefix.begin(), kPrefix.end(), e.frame.begin()));
            FUZZ_CHECK(e.frame.size() == kHeaderSize + readU16(e.frame, kLengthAt));
            FUZZ_CHECK(readU16(e.frame, kLengthAt) <= kLengthCap);
            const auto read = std::upper_bound(readEnds.begin(), readEnds.end(), at);
            FUZZ_CHECK(read != readEnds.end());
            FUZZ_CHECK(e.firstByteUs == 1000 * (read - readEnds.begin() + 1));
            at += e.frame.size();
            out.frames.push_back(e.frame);
            break;
        }
        case ReaderEvent::Type::Skipped:
        case ReaderEvent::Type::Truncated:
            FUZZ_CHECK(e.count > 0);
            at += e.count;
            break;
        case ReaderEvent::Type::Oversize:
            FUZZ_CHECK(e.count > kLengthCap);
            at += 1;
            out.oversize.push_back(e.count);
            break;
        }
    }
    FUZZ_CHECK(at == total);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    std::vector<std::size_t> sizes(in.ConsumeIntegralInRange<std::size_t>(0, 16));
    for (std::size_t& n : sizes)
        n = in.ConsumeIntegralInRange<std::size_t>(0, 40);
    const Bytes stream = in.ConsumeRemainingBytes<std::uint8_t>();

    FrameReader pieces;
    std::vector<ReaderEvent> events;
    std::vector<std::size_t> readEnds;
    std::size_t fed = 0;
    for (std::size_t i = 0; fed < stream.size(); ++i) {
        const std::size_t n =
            i < sizes.size() ? std::min(sizes[i], stream.size() - fed) : stream.size() - fed;
        const auto now = static_cast<std::int64_t>(1000 * (readEnds.size() + 1));
        auto got = pieces.feed(ByteView(stream).subspan(fed, n), now);
        events.insert(events.end(), got.begin(), got.end());
        fed += n;
        readEnds.push_back(fed);
    }
    auto rest = pieces.flush();
    events.insert(events.end(), rest.begin(), rest.end());
    FUZZ_CHECK(!pieces.holdsBytes());
    const Outcome split = account(events, readEnds, stream.size());

    // However the reads fall, the same frames come out.
    FrameReader whole;
    auto all = whole.feed(stream, 1000);
    auto end = whole.flush();
    all.insert(all.end(), end.begin(), end.end());
    const Outcome once = account(all, {stream.size()}, stream.size());
    FUZZ_CHECK(split.frames == once.frames);
    FUZZ_CHECK(split.oversize == once.oversize);
    return 0;
}
