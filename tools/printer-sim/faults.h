#pragma once

#include "printer-sim/wire.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace posflash::sim {

struct Refusal {
    std::uint8_t status = kRefused;
    int copies = 0;
};

// Misbehaviour on request. Keys are data frame numbers; "copies" count from the first copy
// of that frame received in the current session, so a re-download meets the fault again.
struct Faults {
    bool silent = false;
    std::map<std::uint16_t, Refusal> refuse;
    std::map<std::uint16_t, int> lateMs;
    std::map<std::uint16_t, int> wrongNo; // copies acknowledged with FrameNo K-1
    std::map<std::uint16_t, int> drop;
    std::optional<int> splitMs;
    bool noise = false;
    std::optional<std::uint16_t> disconnectAfter;
    int thinkMs = 0;
    // The answer faults above (silent to drop) hit only the first this many sessions, as a
    // printer that fails once and passes when the tool tries again.
    std::optional<int> sessions;
};

// Noise goes out this long before the reply it precedes.
inline constexpr int kNoiseLeadMs = 20;
// A split reply's first write: prefix and status, so a reader sees a plausible start.
inline constexpr std::size_t kSplitAt = 5;
// Never begins with the prefix's first byte, so it cannot be mistaken for a reply start.
inline constexpr std::array<std::uint8_t, 3> kNoise{0xA5, 0x00, 0xFF};

// One write of a reply; afterMs counts from the arrival of the frame being answered.
struct WriteStep {
    int afterMs = 0;
    Bytes bytes;
};

// The writes that carry one reply, delayed by delayMs (think time plus any lateness).
std::vector<WriteStep> PlanReplyWrites(const Bytes& reply, int delayMs, const Faults& faults);

} // namespace posflash::sim
