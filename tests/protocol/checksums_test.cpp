#include "protocol/checksums.h"

#include <gtest/gtest.h>

#include <random>
#include <string_view>

namespace posflash {
namespace {

ByteView ascii(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// An independent CRC-16/XMODEM, bit by bit, to cross-check the table-driven one.
std::uint16_t bitwiseXmodem(ByteView data) {
    std::uint16_t crc = 0;
    for (std::uint8_t b : data) {
        crc ^= static_cast<std::uint16_t>(b << 8);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021)
                                 : static_cast<std::uint16_t>(crc << 1);
    }
    return crc;
}

TEST(GetCRC16, MatchesTheXmodemCheckValueAndEmptyInput) {
    EXPECT_EQ(GetCRC16(ascii("123456789")), 0x31C3);
    EXPECT_EQ(GetCRC16({}), 0);
}

TEST(GetCRC16, SplitTableHoldsTheStandardMsbFirstEntries) {
    // Entry i is the CRC of the single byte i: 0x0000, 0x1021, 0x2042, 0x3063, ... 0x1EF0.
    const auto& t = crc16::kTable;
    EXPECT_EQ((t.high[1] << 8) | t.low[1], 0x1021);
    EXPECT_EQ((t.high[2] << 8) | t.low[2], 0x2042);
    EXPECT_EQ((t.high[3] << 8) | t.low[3], 0x3063);
    EXPECT_EQ((t.high[255] << 8) | t.low[255], 0x1EF0);
}

TEST(GetCRC16, AgreesWithBitwiseCrcOnRandomBuffers) {
    std::mt19937 rng(12345);
    for (int round = 0; round < 300; ++round) {
        Bytes data(std::uniform_int_distribution<int>(0, 5000)(rng));
        for (auto& b : data)
            b = static_cast<std::uint8_t>(rng());
        ASSERT_EQ(GetCRC16(data), bitwiseXmodem(data)) << "length " << data.size();
    }
}

TEST(GetSum, AddsBytesAsUnsignedAndWrapsModulo2To32) {
    EXPECT_EQ(GetSum({}), 0u);
    const Bytes high(10, 0xFF);
    EXPECT_EQ(GetSum(high), 2550u); // each byte counts 0..255, never negative
    // 16,843,010 bytes of 0xFF sum to 4,294,967,550, which wraps to 254.
    const Bytes big(16843010, 0xFF);
    EXPECT_EQ(GetSum(big), 254u);
}

} // namespace
} // namespace posflash
