#include "protocol/checksums.h"

namespace posflash {

std::uint32_t GetSum(ByteView buffer) {
    std::uint32_t sum = 0;
    for (std::uint8_t b : buffer)
        sum += b;
    return sum;
}

std::uint16_t GetCRC16(ByteView buffer) {
    std::uint8_t hi = 0;
    std::uint8_t lo = 0;
    for (std::uint8_t b : buffer) {
        const std::uint8_t idx = b ^ hi;
        hi = crc16::kTable.high[idx] ^ lo;
        lo = crc16::kTable.low[idx];
    }
    return static_cast<std::uint16_t>((hi << 8) | lo);
}

} // namespace posflash
