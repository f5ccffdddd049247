#include "printer-sim/wire_pace.h"

#include <algorithm>

namespace posflash::sim {

namespace {

constexpr std::int64_t kBitsPerByte = 10; // start bit, 8 data bits, stop bit
constexpr std::int64_t kNsPerSecond = 1'000'000'000;

} // namespace

std::int64_t WirePace::wireNs(std::uint64_t count) const {
    // Split so that the product never overflows, however many bytes a long run counts.
    const auto baud = static_cast<std::uint64_t>(baud_);
    const std::uint64_t perByte = kBitsPerByte * kNsPerSecond;
    const std::uint64_t whole = count / baud;
    const std::uint64_t rest = count % baud;
    return static_cast<std::int64_t>(whole * perByte + (rest * perByte + baud - 1) / baud);
}

std::int64_t WirePace::received(std::size_t count, std::int64_t nowNs) {
    const std::int64_t start = std::max(nowNs, inFreeNs_);
    if (!firstInNs_)
        firstInNs_ = start;
    bytesIn_ += count;
    inFreeNs_ = start + wireNs(count);
    return inFreeNs_;
}

std::int64_t WirePace::toSend(std::size_t count, std::int64_t readyNs) {
    outFreeNs_ = std::max(readyNs, outFreeNs_) + wireNs(count);
    return outFreeNs_;
}

void WirePace::sent(std::size_t count, std::int64_t atNs) {
    bytesOut_ += count;
    lastOutNs_ = atNs;
    // Handed over late, the bytes still held the line until then.
    outFreeNs_ = std::max(outFreeNs_, atNs);
}

QJsonObject WirePace::report() const {
    const std::int64_t span = firstInNs_ && lastOutNs_ ? *lastOutNs_ - *firstInNs_ : 0;
    return {
        {"baud", baud_},
        {"bytes_received", static_cast<qint64>(bytesIn_)},
        {"bytes_sent", static_cast<qint64>(bytesOut_)},
        {"wire_time_us", static_cast<qint64>(wireNs(bytesIn_ + bytesOut_) / 1000)},
        {"first_byte_to_last_reply_us",
         static_cast<qint64>(std::max<std::int64_t>(span, 0) / 1000)},
    };
}

} // namespace posflash::sim
