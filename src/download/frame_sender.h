#pragma once

#include "base/bytes.h"

#include <functional>

namespace posflash {

class BootLink;
class Faces;
class FrameTransport;
class Panel;
class WaitHub;

// Sends one frame and waits for the printer to accept it, up to three attempts.
class FrameSender {
public:
    static constexpr int kAttempts = 3;

    FrameSender(FrameTransport& transport, BootLink& link, WaitHub& waits, Panel& panel,
                const Faces& faces);

    void SetBootloadrStep(short step);

    // Writes cmd into the frame's Command byte, then sends and waits; False after three
    // attempts without acceptance (the failure text is in the status label by then), or when
    // the program is quitting.
    bool BootTFTPSendData(Bytes& txbuf, std::uint8_t cmd, short step, int delayTimeMs);

    // Clears ReplyResult, then waits until a reply is judged or the time is up.
    void WaitTFTPSendDataOK(int delayTimeMs);

    // Told before the second and third attempt of a frame (attempt counts from 1).
    std::function<void(short step, int attempt)> onRetry;

private:
    FrameTransport& transport_;
    BootLink& link_;
    WaitHub& waits_;
    Panel& panel_;
    const Faces& faces_;
};

} // namespace posflash
