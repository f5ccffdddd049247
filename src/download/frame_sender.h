#pragma once

#include "base/bytes.h"

#include <functional>

namespace posflash {

class Faces;
class Panel;
class PortModel;
class WaitHub;
struct DownloadState;
struct PortState;

// Sends one frame and waits for the printer to accept it, up to three attempts.
class FrameSender {
public:
    static constexpr int kAttempts = 3;

    FrameSender(DownloadState& download, PortState& ports, PortModel& portModel, WaitHub& waits,
                Panel& panel, const Faces& faces);

    void SetBootloadrStep(short step);

    // Writes cmd into the frame's Command byte, then sends and waits; False after three
    // attempts without acceptance (the failure text is shown by then).
    bool BootTFTPSendData(Bytes& txbuf, std::uint8_t cmd, short step, int delayTimeMs);

    // Clears ReplyResult, then waits until a reply is judged or the time is up.
    void WaitTFTPSendDataOK(int delayTimeMs);

    // Whether the font check box sends through the boot loader.
    std::function<bool()> fontBootDown;
    // Network transports; unset until the network layer provides them.
    std::function<bool(ByteView)> udpSend;
    std::function<bool(ByteView)> tcpSend;

private:
    void sendOnce(ByteView frame);

    DownloadState& download_;
    PortState& ports_;
    PortModel& portModel_;
    WaitHub& waits_;
    Panel& panel_;
    const Faces& faces_;
};

} // namespace posflash
