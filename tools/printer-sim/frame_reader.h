#pragma once

#include "printer-sim/wire.h"

#include <cstdint>
#include <utility>
#include <vector>

namespace posflash::sim {

// What the reader found in the byte stream.
struct ReaderEvent {
    enum class Type {
        Frame,     // a whole frame: header plus Length bytes
        Skipped,   // bytes that do not start a frame, dropped while looking for the prefix
        Oversize,  // a header announcing more bytes than any frame carries; resynchronising
        Truncated, // the line went quiet in the middle of a frame
    };
    Type type = Type::Frame;
    Bytes frame;
    std::int64_t firstByteUs = 0; // Frame: when its first byte arrived
    std::size_t count = 0;        // Skipped/Truncated: bytes dropped; Oversize: the Length
};

// Cuts the serial byte stream into frames. Reads and frames need not line up: a frame may
// come in several reads, several frames in one read, with garbage in between.
class FrameReader {
public:
    std::vector<ReaderEvent> feed(ByteView chunk, std::int64_t nowUs);
    // The sender went quiet: whatever is held will never become a frame.
    std::vector<ReaderEvent> flush();
    bool holdsBytes() const { return !pending_.empty() || skipped_ > 0; }

private:
    void reportSkipped(std::vector<ReaderEvent>& events);
    std::int64_t arrivalOf(std::size_t index) const;

    Bytes pending_;
    // (first index in pending_, arrival) of each read that pending_ still holds bytes of: a
    // frame found after a false header may start in any of them.
    std::vector<std::pair<std::size_t, std::int64_t>> arrivals_;
    std::size_t skipped_ = 0; // one report per run of garbage, not per read
};

} // namespace posflash::sim
