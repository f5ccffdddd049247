#include "link/tcp_monitor.h"

#include "link/host_network.h"
#include "ports/port_state.h"

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <unistd.h>

namespace posflash {

TcpMonitor::TcpMonitor(QObject* parent) : FrameTransport(parent) {
    connect(&socket_, &QTcpSocket::connected, this, [this] {
        failed_ = false;
        watchPeer();
        emit connected();
    });
    connect(&socket_, &QTcpSocket::disconnected, this, [this] {
        peerEnded();
        emit lost();
    });
    connect(&socket_, &QTcpSocket::errorOccurred, this, [this] {
        failed_ = true;
        peerEnded();
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

TcpMonitor::~TcpMonitor() {
    forgetPeer();
}

void TcpMonitor::watchPeer() {
    forgetPeer();
    peer_ = ::fcntl(static_cast<int>(socket_.socketDescriptor()), F_DUPFD_CLOEXEC, 0);
}

// Still established, or half closed by the printer's FIN: a plain end. Closed with neither
// side closing it: the printer's reset.
void TcpMonitor::peerEnded() {
    if (peer_ < 0)
        return;
    tcp_info info{};
    socklen_t size = sizeof info;
    if (::getsockopt(peer_, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 &&
        info.tcpi_state == TCP_CLOSE)
        reset_ = SystemError(ECONNRESET, QStringLiteral("The printer reset the connection"));
    forgetPeer();
}

void TcpMonitor::forgetPeer() {
    if (peer_ >= 0)
        ::close(peer_);
    peer_ = -1;
}

void TcpMonitor::connectTo(const QString& ip) {
    forgetPeer();
    socket_.abort();
    failed_ = false;
    reset_.reset();
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
    // Our own close, not the printer's: the second descriptor goes first so that the abort
    // really ends the connection.
    forgetPeer();
    if (socket_.state() == QAbstractSocket::UnconnectedState)
        return false;
    socket_.abort();
    return true;
}

} // namespace posflash
