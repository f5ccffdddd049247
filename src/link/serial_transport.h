#pragma once

#include "link/frame_transport.h"

namespace posflash {

class SerialControl;

// Frames over the serial line: opened by the first send, written in 1024-byte pieces after
// what is pending is dropped; every arrival is a reply.
class SerialTransport : public FrameTransport {
    Q_OBJECT
public:
    static constexpr std::size_t kPieceSize = 1024;

    explicit SerialTransport(SerialControl& serial, QObject* parent = nullptr);

    Status send(ByteView frame) override;
    void close() override;

signals:
    // The line failed while open; the port is closed and the next send opens it again.
    void lineError(const posflash::Error& error);

private:
    SerialControl& serial_;
};

} // namespace posflash
