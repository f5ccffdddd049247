#include "printer-sim/udp_frame_line.h"

#include "printer-sim/wire.h"

#include <cstdio>

namespace posflash::sim {

UdpFrameLine::UdpFrameLine(QObject* parent) : Transport(parent) {
    connect(&socket_, &QUdpSocket::readyRead, this, &UdpFrameLine::readable);
}

bool UdpFrameLine::bind(QString& error) {
    if (socket_.bind(QHostAddress::AnyIPv4, kFramePort, QAbstractSocket::DontShareAddress))
        return true;
    error = QStringLiteral("cannot bind UDP port %1 on 0.0.0.0: %2")
                .arg(kFramePort)
                .arg(socket_.errorString());
    return false;
}

void UdpFrameLine::readable() {
    while (socket_.hasPendingDatagrams()) {
        QNetworkDatagram datagram = socket_.receiveDatagram();
        if (!datagram.isValid())
            continue;
        const std::int64_t atUs = MonotonicMicros();
        const QByteArray payload = datagram.data();
        datagram.setData({});
        latest_ = datagram;
        emit datagramArrived(latest_.senderAddress(), static_cast<quint16>(latest_.senderPort()),
                             latest_.destinationAddress());
        emit received(payload, atUs);
    }
}

void UdpFrameLine::send(const QByteArray& bytes, Written onWritten) {
    if (socket_.state() != QAbstractSocket::BoundState || latest_.senderAddress().isNull())
        return;
    if (socket_.writeDatagram(latest_.makeReply(bytes)) != bytes.size()) {
        warn(QStringLiteral("reply to %1:%2")
                 .arg(latest_.senderAddress().toString())
                 .arg(latest_.senderPort()));
        return;
    }
    if (onWritten)
        onWritten(MonotonicMicros());
}

void UdpFrameLine::sendTo(const QByteArray& bytes, const QHostAddress& to, quint16 port,
                          const QHostAddress& from) {
    QNetworkDatagram datagram(bytes, to, port);
    datagram.setSender(from, kFramePort);
    if (socket_.writeDatagram(datagram) == bytes.size())
        return;
    // The namespace does not carry the printer's address: the kernel's choice is all there is.
    datagram.setSender(QHostAddress(), kFramePort);
    if (socket_.writeDatagram(datagram) != bytes.size())
        warn(QStringLiteral("datagram to %1:%2").arg(to.toString()).arg(port));
}

// A lost datagram is the network's business and the tool's retry covers it; say it once.
void UdpFrameLine::warn(const QString& what) {
    if (warned_)
        return;
    warned_ = true;
    std::fprintf(stderr, "posflash-printer-sim: cannot send the %s: %s\n", qPrintable(what),
                 qPrintable(socket_.errorString()));
}

void UdpFrameLine::close() {
    socket_.close();
}

} // namespace posflash::sim
