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

std::int64_t FrameReader::arrivalOf(std::size_t index) const {
    const auto after =
        std::upper_bound(arrivals_.begin(), arrivals_.end(), index,
                         [](std::size_t i, const auto& read) { return i < read.first; });
    return std::prev(after)->second;
}

void FrameReader::reportSkipped(std::vector<ReaderEvent>& events) {
    if (skipped_ == 0)
        return;
    events.push_back({ReaderEvent::Type::Skipped, {}, 0, skipped_});
    skipped_ = 0;
}

std::vector<ReaderEvent> FrameReader::feed(ByteView chunk, std::int64_t nowUs) {
    std::vector<ReaderEvent> events;
    if (!chunk.empty())
        arrivals_.emplace_back(pending_.size(), nowUs);
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
        events.push_back({ReaderEvent::Type::Frame, Bytes(rest.begin(), end), arrivalOf(pos), 0});
        pos += kHeaderSize + length;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pos));
    // Keep the reads from the one that holds the new first byte on, renumbered.
    if (pending_.empty()) {
        arrivals_.clear();
    } else {
        auto first =
            std::upper_bound(arrivals_.begin(), arrivals_.end(), pos,
                             [](std::size_t i, const auto& read) { return i < read.first; });
        arrivals_.erase(arrivals_.begin(), std::prev(first));
        for (auto& read : arrivals_)
            read.first = read.first > pos ? read.first - pos : 0;
    }
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
    arrivals_.clear();
    return events;
}

} // namespace posflash::sim
