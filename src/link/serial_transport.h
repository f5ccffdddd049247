#pragma once

#include "link/frame_transport.h"

namespace posflash {

class SerialControl;

// Frames over the serial line: opened by the first send (a line that cannot be opened is that
// attempt's error), written in 1024-byte pieces after what is pending is dropped; every
// arrival is a reply, every failure of the open line a lineError.
class SerialTransport : public FrameTransport {
    Q_OBJECT
public:
    static constexpr std::size_t kPieceSize = 1024;

    explicit SerialTransport(SerialControl& serial, QObject* parent = nullptr);

    Status send(ByteView frame) override;
    void close() override;

private:
    SerialControl& serial_;
};

} // namespace posflash
