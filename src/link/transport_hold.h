#pragma once

#include "link/frame_transport.h"

#include <utility>

namespace posflash {

// Holds a medium for one download, as a device locker holds a device: the medium is let go
// when the hold goes, however the download ended (finished, stopped, or dropped with its
// engine). The medium is taken up by the first send, not by the hold, so a line that cannot be
// opened stays that attempt's error.
class TransportHold {
public:
    TransportHold() = default;
    TransportHold(const TransportHold&) = delete;
    TransportHold& operator=(const TransportHold&) = delete;
    ~TransportHold() { release(); }

    // Holds this medium from now on; holding it again changes nothing.
    void hold(FrameTransport& transport) {
        if (transport_ != &transport) {
            release();
            transport_ = &transport;
        }
    }
    // Lets the medium go now; the hold is then empty.
    void release() {
        if (FrameTransport* held = std::exchange(transport_, nullptr))
            held->close();
    }

private:
    FrameTransport* transport_ = nullptr;
};

} // namespace posflash
