#pragma once

#include "base/bytes.h"

#include <array>
#include <cstdint>

namespace posflash {

// Byte sum modulo 2^32: the program file trailer is 32 bits wide, so wrapping keeps the
// comparison meaningful for any image size.
std::uint32_t GetSum(ByteView buffer);

// CRC-16/XMODEM (poly 0x1021, init 0, no reflection, no final XOR), table-driven with the
// high and low bytes of the MSB-first table held apart.
std::uint16_t GetCRC16(ByteView buffer);

namespace crc16 {
struct SplitTable {
    std::array<std::uint8_t, 256> high{};
    std::array<std::uint8_t, 256> low{};
};

constexpr SplitTable makeTable() {
    SplitTable t;
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? ((crc << 1) ^ 0x1021) : (crc << 1);
        crc &= 0xFFFF;
        t.high[i] = static_cast<std::uint8_t>(crc >> 8);
        t.low[i] = static_cast<std::uint8_t>(crc & 0xFF);
    }
    return t;
}

inline constexpr SplitTable kTable = makeTable();
} // namespace crc16

} // namespace posflash
