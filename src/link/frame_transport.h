#pragma once

#include "base/bytes.h"

namespace posflash {

class AppToBoot;
class BootLink;
class NetworkBoot;
class PortModel;

// Where a frame goes: the one way the frame sender hands a frame to the printer.
class FrameTransport {
public:
    virtual ~FrameTransport() = default;
    // True when the frame was handed over; the printer's reply decides the attempt.
    virtual bool sendFrame(ByteView frame) = 0;
};

// The transport of the download in progress, chosen anew for every frame: the COM port's send
// operation, a datagram on the link socket, or the running firmware's TCP connection.
class BootTransport final : public FrameTransport {
public:
    BootTransport(const BootLink& link, PortModel& portModel, NetworkBoot& network,
                  AppToBoot& appToBoot);
    bool sendFrame(ByteView frame) override;

private:
    const BootLink& link_;
    PortModel& portModel_;
    NetworkBoot& network_;
    AppToBoot& appToBoot_;
};

} // namespace posflash
