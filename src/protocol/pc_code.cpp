#include "protocol/pc_code.h"

#include <QTime>

#include <random>

namespace posflash {

PcCode GetPcCodeData(std::uint64_t seed) {
    std::mt19937_64 generator(seed);
    std::uniform_int_distribution<int> draw(1, 255);
    PcCode code{};
    for (auto& b : code)
        b = static_cast<std::uint8_t>(draw(generator));
    return code;
}

std::uint64_t TimeOfDaySeed() {
    return static_cast<std::uint64_t>(QTime::currentTime().msecsSinceStartOfDay());
}

} // namespace posflash
