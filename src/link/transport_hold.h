#pragma once

#include "link/frame_transport.h"

#include <utility>

namespace posflash {

// Holds a medium for one download, as a device locker holds a device: whoever holds it lets
// the medium go when the hold goes, however the download ended (finished, stopped, or
// dropped with its engine). The medium is taken up by the first send, not by the hold, so a
// line that cannot be opened stays that attempt's error.
class TransportHold {
public:
    TransportHold() = default;
    explicit TransportHold(FrameTransport& transport) : transport_(&transport) {}
    TransportHold(TransportHold&& other) noexcept
        : transport_(std::exchange(other.transport_, nullptr)) {}
    TransportHold& operator=(TransportHold&& other) noexcept {
        if (this != &other) {
            release();
            transport_ = std::exchange(other.transport_, nullptr);
        }
        return *this;
    }
    TransportHold(const TransportHold&) = delete;
    TransportHold& operator=(const TransportHold&) = delete;
    ~TransportHold() { release(); }

    bool holds() const { return transport_ != nullptr; }
    // Lets the medium go now; the hold is then empty.
    void release() {
        if (FrameTransport* held = std::exchange(transport_, nullptr))
            held->close();
    }

private:
    FrameTransport* transport_ = nullptr;
};

} // namespace posflash
