#include "protocol/checksums.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string_view>

namespace posflash {
namespace {

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

TEST(GetCRC16, IsXmodemOnTheCheckStringAndOnRandomBuffers) {
    const std::string_view digits = "123456789";
    EXPECT_EQ(GetCRC16({reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()}),
              0x31C3);
    EXPECT_EQ(GetCRC16({}), 0);
    std::mt19937 rng(12345);
    for (int round = 0; round < 300; ++round) {
        Bytes data(std::uniform_int_distribution<int>(0, 5000)(rng));
        for (auto& b : data)
            b = static_cast<std::uint8_t>(rng());
        ASSERT_EQ(GetCRC16(data), bitwiseXmodem(data)) << "length " << data.size();
    }
}

TEST(GetSum, AddsBytesAsUnsignedAndWrapsModulo2To32) {
    EXPECT_EQ(GetSum(Bytes(10, 0xFF)), 2550u); // each byte counts 0..255, never negative
    // 16,843,010 bytes of 0xFF sum to 4,294,967,550, which wraps to 254.
    EXPECT_EQ(GetSum(Bytes(16843010, 0xFF)), 254u);
}

TEST(GetSum, MatchesAByteLoopAtEveryLengthAndOffset) {
    // The sum runs eight bytes at a time and folds every 1024: lengths and starts either side
    // of both, and runs of 0xFF that fill its lanes to the top.
    std::mt19937 rng(7);
    Bytes data(4 * 1024 + 40); // room for the longest piece from the last start
    for (auto& b : data)
        b = static_cast<std::uint8_t>(rng());
    std::fill(data.begin() + 1024, data.begin() + 2048 + 16, 0xFF);
    for (const std::size_t start : {0u, 1u, 7u, 1023u})
        for (const std::size_t length : {0u, 1u, 7u, 8u, 9u, 1023u, 1024u, 1025u, 2055u, 3072u}) {
            const ByteView piece = ByteView(data).subspan(start, length);
            std::uint32_t expected = 0;
            for (const std::uint8_t b : piece)
                expected += b;
            ASSERT_EQ(GetSum(piece), expected) << "start " << start << ", length " << length;
        }
}

} // namespace
} // namespace posflash
