#include "link/tcp_monitor.h"

#include "link/host_network.h"
#include "ports/port_state.h"
#include "protocol/address_text.h"

#include <QHostAddress>

#include <algorithm>
#include <cerrno>

namespace posflash {

TcpMonitor::TcpMonitor(QObject* parent) : FrameTransport(parent) {
    connect(&socket_, &QTcpSocket::connected, this, [this] {
        failed_ = false;
        end_.watch(socket_.socketDescriptor());
        emit connected();
    });
    connect(&socket_, &QTcpSocket::disconnected, this, &TcpMonitor::ended);
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this] {
        failed_ = true;
        ended();
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

// The printer's end of the connection, or ours (closeConnection releases the watch first).
void TcpMonitor::ended() {
    if (end_.endedByReset())
        reset_ = SystemError(ECONNRESET, QStringLiteral("The printer reset the connection"));
    emit lost();
}

void TcpMonitor::connectTo(const QString& ip) {
    end_.release();
    socket_.abort();
    failed_ = false;
    reset_.reset();
    // Each part decimal, as everywhere: Qt would read "010" as octal.
    if (const auto bytes = ParseIpv4Text(ip))
        socket_.connectToHost(QHostAddress(Ipv4Number(*bytes)), kPort);
    else
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
                     socket_.errorString(), ErrorDomain::Socket};
    socket_.flush();
    return {};
}

bool TcpMonitor::closeConnection(const QString& ip) {
    FlushArpFor(ip);
    end_.release(); // so that the abort really ends the connection
    if (socket_.state() == QAbstractSocket::UnconnectedState)
        return false;
    socket_.abort();
    return true;
}

} // namespace posflash
