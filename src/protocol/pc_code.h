#pragma once

#include "protocol/frames.h"

#include <cstdint>

namespace posflash {

// The start frame's random block: 512 bytes, each 1..255, made anew for every download.
PcCode GetPcCodeData(std::uint64_t seed);

// The seed for each download: the milliseconds since midnight, so two downloads rarely
// send the same block.
std::uint64_t TimeOfDaySeed();

} // namespace posflash
