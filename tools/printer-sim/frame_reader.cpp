#include "printer-sim/frame_reader.h"

#include <algorithm>

namespace posflash::sim {

namespace {

// Length of the longest tail of `bytes` that could still grow into the prefix.
std::size_t prefixTail(ByteView bytes) {
    for (std::size_t k = std::min<std::size_t>(kPrefix.size() - 1, bytes.size()); k > 0; --k)
        if (std::equal(bytes.end() - static_cast<std::ptrdiff_t>(k), bytes.end(), kPrefix.begin()))
            return k;
    return 0;
}

} // namespace

void FrameReader::reportSkipped(std::vector<ReaderEvent>& events) {
    if (skipped_ == 0)
        return;
    events.push_back({ReaderEvent::Type::Skipped, {}, 0, skipped_});
    skipped_ = 0;
}

std::vector<ReaderEvent> FrameReader::feed(ByteView chunk, std::int64_t nowUs) {
    std::vector<ReaderEvent> events;
    const std::size_t arrivedAt = pending_.size(); // first index of this read's bytes
    if (pending_.empty())
        pendingFirstUs_ = nowUs;
    pending_.insert(pending_.end(), chunk.begin(), chunk.end());

    const ByteView all(pending_);
    std::size_t pos = 0;
    while (pos < all.size()) {
        const ByteView rest = all.subspan(pos);
        const std::size_t head = std::min(rest.size(), kPrefix.size());
        if (!std::equal(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(head),
                        kPrefix.begin())) {
            const auto found =
                std::search(rest.begin() + 1, rest.end(), kPrefix.begin(), kPrefix.end());
            const std::size_t drop = found != rest.end()
                                         ? static_cast<std::size_t>(found - rest.begin())
                                         : rest.size() - prefixTail(rest.subspan(1));
            skipped_ += drop;
            pos += drop;
            continue;
        }
        if (rest.size() < kHeaderSize)
            break;
        reportSkipped(events);
        const std::size_t length = readU16(rest, kLengthAt);
        if (length > kLengthCap) {
            events.push_back({ReaderEvent::Type::Oversize, {}, 0, length});
            pos += 1; // look for a real prefix inside what we took for a header
            continue;
        }
        if (rest.size() < kHeaderSize + length)
            break;
        const auto end = rest.begin() + static_cast<std::ptrdiff_t>(kHeaderSize + length);
        events.push_back({ReaderEvent::Type::Frame, Bytes(rest.begin(), end),
                          pos < arrivedAt ? pendingFirstUs_ : nowUs, 0});
        pos += kHeaderSize + length;
    }
    if (pos >= arrivedAt)
        pendingFirstUs_ = nowUs;
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pos));
    return events;
}

std::vector<ReaderEvent> FrameReader::flush() {
    std::vector<ReaderEvent> events;
    if (pending_.size() >= kPrefix.size()) {
        reportSkipped(events);
        events.push_back({ReaderEvent::Type::Truncated, {}, 0, pending_.size()});
    } else {
        skipped_ += pending_.size();
        reportSkipped(events);
    }
    pending_.clear();
    return events;
}

} // namespace posflash::sim
