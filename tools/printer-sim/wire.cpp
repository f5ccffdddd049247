#include "printer-sim/wire.h"

#include <algorithm>

namespace posflash::sim {

std::uint16_t Crc16Xmodem(ByteView bytes) {
    std::uint16_t crc = 0;
    for (const std::uint8_t byte : bytes) {
        crc ^= static_cast<std::uint16_t>(byte << 8);
        for (int bit = 0; bit < 8; ++bit) {
            const bool top = (crc & 0x8000) != 0;
            crc = static_cast<std::uint16_t>(crc << 1);
            if (top)
                crc ^= 0x1021;
        }
    }
    return crc;
}

std::uint32_t ByteSum(ByteView bytes) {
    std::uint32_t sum = 0;
    for (const std::uint8_t byte : bytes)
        sum += byte;
    return sum;
}

Bytes BuildReply(std::uint8_t status, std::uint8_t kind, std::uint8_t command,
                 std::optional<std::uint16_t> frameNo) {
    Bytes reply(kHeaderSize + (frameNo ? 2 : 0), 0);
    std::copy(kPrefix.begin(), kPrefix.end(), reply.begin());
    reply[kStatusAt] = status;
    reply[kKindAt] = kind;
    reply[kCommandAt] = command;
    writeU16(reply, kLengthAt, static_cast<std::uint16_t>(reply.size() - kHeaderSize));
    if (frameNo)
        writeU16(reply, kFrameNoAt, *frameNo);
    return reply;
}

} // namespace posflash::sim
