#include "link/serial_transport.h"

#include "ports/serial_control.h"

#include <algorithm>

namespace posflash {

SerialTransport::SerialTransport(SerialControl& serial, QObject* parent)
    : FrameTransport(parent), serial_(serial) {
    connect(&serial_, &SerialControl::received, this, &FrameTransport::replied);
    connect(&serial_, &SerialControl::lineError, this, &FrameTransport::lineError);
}

Status SerialTransport::send(ByteView frame) {
    if (frame.empty())
        return Error{};
    if (!serial_.isOpen()) {
        if (Status opened = serial_.setOpen(true); !opened)
            return opened;
    }
    serial_.discardBuffers();
    for (std::size_t offset = 0; offset < frame.size(); offset += kPieceSize) {
        const std::size_t n = std::min(kPieceSize, frame.size() - offset);
        if (Status written = serial_.output(frame.subspan(offset, n)); !written)
            return written;
    }
    return {};
}

void SerialTransport::close() {
    serial_.closePort();
}

} // namespace posflash
