#include "printer-sim/faults.h"

namespace posflash::sim {

std::vector<WriteStep> PlanReplyWrites(const Bytes& reply, int delayMs, const Faults& faults) {
    std::vector<WriteStep> steps;
    int at = delayMs;
    if (faults.noise) {
        steps.push_back({at, Bytes(kNoise.begin(), kNoise.end())});
        at += kNoiseLeadMs;
    }
    if (faults.splitMs && reply.size() > kSplitAt) {
        const auto cut = reply.begin() + static_cast<std::ptrdiff_t>(kSplitAt);
        steps.push_back({at, Bytes(reply.begin(), cut)});
        steps.push_back({at + *faults.splitMs, Bytes(cut, reply.end())});
    } else {
        steps.push_back({at, reply});
    }
    return steps;
}

} // namespace posflash::sim
