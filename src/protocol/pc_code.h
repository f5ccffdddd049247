#pragma once

#include "protocol/frames.h"

#include <cstdint>

namespace posflash {

// The start frame's random block: 512 bytes, each 1..255, made anew for every download.
PcCode GetPcCodeData(std::uint64_t seed);

// The seed the tool uses: the time of day, as the original reseeds from it.
std::uint64_t TimeOfDaySeed();

} // namespace posflash
