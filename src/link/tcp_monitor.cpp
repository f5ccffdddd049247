#include "link/tcp_monitor.h"

#include "link/host_network.h"
#include "ports/port_state.h"

#include <algorithm>

namespace posflash {

TcpMonitor::TcpMonitor(QObject* parent) : FrameTransport(parent) {
    connect(&socket_, &QTcpSocket::connected, this, [this] {
        failed_ = false;
        emit connected();
    });
    connect(&socket_, &QTcpSocket::disconnected, this, &TcpMonitor::lost);
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this] {
        failed_ = true;
        emit lost();
    });
    connect(&socket_, &QTcpSocket::readyRead, this, [this] {
        const QByteArray block = socket_.readAll();
        const ByteView bytes(reinterpret_cast<const std::uint8_t*>(block.constData()),
                             static_cast<std::size_t>(block.size()));
        // A larger block reaches the judge in receive-buffer-sized pieces, in order.
        for (std::size_t offset = 0; offset < bytes.size(); offset += kReceiveBufferSize)
            emit replied(
                bytes.subspan(offset, std::min(kReceiveBufferSize, bytes.size() - offset)));
    });
}

void TcpMonitor::connectTo(const QString& ip) {
    socket_.abort();
    failed_ = false;
    socket_.connectToHost(ip, kPort);
}

bool TcpMonitor::isConnected() const {
    return socket_.state() == QAbstractSocket::ConnectedState;
}

Status TcpMonitor::send(ByteView frame) {
    if (!isConnected())
        return Error{}; // never shown: the attempt simply gets no reply
    const auto size = static_cast<qint64>(frame.size());
    if (socket_.write(reinterpret_cast<const char*>(frame.data()), size) != size)
        return Error{static_cast<int>(socket_.error()), socket_.errorString(),
                     socket_.errorString()};
    socket_.flush();
    return {};
}

bool TcpMonitor::closeConnection(const QString& ip) {
    FlushArpFor(ip);
    if (socket_.state() == QAbstractSocket::UnconnectedState)
        return false;
    socket_.abort();
    return true;
}

} // namespace posflash
