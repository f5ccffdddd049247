#include "printer-sim/udp_frame_line.h"

#include "printer-sim/wire.h"

#include <QNetworkDatagram>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

namespace posflash::sim {

namespace {

// One datagram from a chosen local address. Qt 6.4 puts a datagram's sender address into
// ipi_addr, which Linux ignores on sending, so the kernel would pick the interface's first
// address and a tool that takes replies only from the printer's address would drop them.
bool sendFrom(qintptr socket, const QByteArray& payload, const QHostAddress& to, quint16 port,
              const QHostAddress& from) {
    sockaddr_in destination{};
    destination.sin_family = AF_INET;
    destination.sin_port = htons(port);
    destination.sin_addr.s_addr = htonl(to.toIPv4Address());
    iovec piece{const_cast<char*>(payload.constData()), static_cast<std::size_t>(payload.size())};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr message{};
    message.msg_name = &destination;
    message.msg_namelen = sizeof destination;
    message.msg_iov = &piece;
    message.msg_iovlen = 1;
    if (!from.isNull()) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_spec_dst.s_addr = htonl(from.toIPv4Address());
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
    }
    ssize_t sent = 0;
    do
        sent = ::sendmsg(static_cast<int>(socket), &message, MSG_DONTWAIT | MSG_NOSIGNAL);
    while (sent < 0 && errno == EINTR);
    return sent == payload.size();
}

// A broadcast or multicast destination is no address to answer from.
bool isUnicast(const QHostAddress& address) {
    return !address.isNull() && !address.isMulticast() && address != QHostAddress::Broadcast;
}

} // namespace

UdpFrameLine::UdpFrameLine(QObject* parent) : Transport(parent) {
    connect(&socket_, &QUdpSocket::readyRead, this, &UdpFrameLine::readable);
}

posflash::Status UdpFrameLine::bind() {
    if (socket_.bind(QHostAddress::AnyIPv4, kFramePort, QAbstractSocket::DontShareAddress))
        return {};
    return posflash::Error{static_cast<int>(socket_.error()),
                           QStringLiteral("cannot bind UDP port %1 on 0.0.0.0: %2")
                               .arg(kFramePort)
                               .arg(socket_.errorString())};
}

void UdpFrameLine::readable() {
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket_.receiveDatagram();
        if (!datagram.isValid())
            continue;
        const std::int64_t atUs = MonotonicMicros();
        peer_ = datagram.senderAddress();
        peerPort_ = static_cast<quint16>(datagram.senderPort());
        ownAddress_ = isUnicast(datagram.destinationAddress()) ? datagram.destinationAddress()
                                                               : QHostAddress();
        emit datagramArrived(peer_, peerPort_, datagram.destinationAddress());
        emit received(datagram.data(), atUs);
    }
}

void UdpFrameLine::send(const QByteArray& bytes, Written onWritten) {
    if (socket_.state() != QAbstractSocket::BoundState || peer_.isNull())
        return;
    if (!sendTo(bytes, peer_, peerPort_, ownAddress_))
        return;
    if (onWritten)
        onWritten(MonotonicMicros());
}

bool UdpFrameLine::sendTo(const QByteArray& bytes, const QHostAddress& to, quint16 port,
                          const QHostAddress& from) {
    const qintptr socket = socket_.socketDescriptor();
    if (sendFrom(socket, bytes, to, port, from))
        return true;
    // The namespace does not carry that address: the kernel's choice is all there is.
    if (!from.isNull() && sendFrom(socket, bytes, to, port, QHostAddress()))
        return true;
    // A lost datagram is the network's business and the tool's retry covers it; say it once.
    if (!warned_) {
        warned_ = true;
        std::fprintf(stderr, "posflash-printer-sim: cannot send to %s:%u: %s\n",
                     qPrintable(to.toString()), port, std::strerror(errno));
    }
    return false;
}

void UdpFrameLine::close() {
    socket_.close();
}

} // namespace posflash::sim
