#pragma once

#include <QJsonObject>

#include <cstddef>
#include <cstdint>
#include <optional>

namespace posflash::sim {

// The timing of an 8N1 serial line: a byte is 10 bit times long, and the bytes of one
// direction follow one another. Times are monotonic nanoseconds; the caller's timers wait
// for the instants computed here.
class WirePace {
public:
    explicit WirePace(int baud) : baud_(baud) {}

    int baud() const { return baud_; }
    // How long `count` bytes take on the line, rounded up.
    std::int64_t wireNs(std::uint64_t count) const;

    // Bytes that arrived at nowNs; returns when the last of them has crossed the line. The
    // line carries them once the bytes before them have crossed.
    std::int64_t received(std::size_t count, std::int64_t nowNs);
    // Bytes ready to go at readyNs; returns when the last of them will have crossed the
    // line, the earliest they may reach the tool.
    std::int64_t toSend(std::size_t count, std::int64_t readyNs);
    // `count` bytes reached the tool at atNs.
    void sent(std::size_t count, std::int64_t atNs);

    // {"baud", "bytes_received", "bytes_sent", "wire_time_us": what every one of those
    //  bytes takes on the line, "first_byte_to_last_reply_us": from the first byte received
    //  to the last byte sent, as measured}
    QJsonObject report() const;

private:
    int baud_;
    std::int64_t inFreeNs_ = 0;
    std::int64_t outFreeNs_ = 0;
    std::uint64_t bytesIn_ = 0;
    std::uint64_t bytesOut_ = 0;
    std::optional<std::int64_t> firstInNs_;
    std::optional<std::int64_t> lastOutNs_;
};

} // namespace posflash::sim
