#pragma once

#include "base/error.h"
#include "printer-sim/transport.h"

#include <QHostAddress>
#include <QUdpSocket>

namespace posflash::sim {

// The boot loader's frame port on Ethernet: each datagram is one reception, and every reply
// goes back to the sender of the latest one, from the address it was sent to.
class UdpFrameLine final : public Transport {
    Q_OBJECT
public:
    static constexpr quint16 kFramePort = 13633;

    explicit UdpFrameLine(QObject* parent = nullptr);

    // Port 13633 on every address.
    posflash::Status bind();
    // One datagram, from the printer's own address `from` when the host lets it use that
    // one (empty: the kernel chooses). False when it could not be sent.
    bool sendTo(const QByteArray& bytes, const QHostAddress& to, quint16 port,
                const QHostAddress& from);

    void send(const QByteArray& bytes, Written onWritten) override;
    void close() override;
    bool keepsMessageBoundaries() const override { return true; }

signals:
    // Before `received`, with the addresses of the datagram.
    void datagramArrived(const QHostAddress& sender, quint16 senderPort,
                         const QHostAddress& destination);

private:
    void readable();

    QUdpSocket socket_;
    // Replies go to the sender of the latest frame, from the address that frame was sent to.
    QHostAddress peer_;
    quint16 peerPort_ = 0;
    QHostAddress ownAddress_;
    bool warned_ = false;
};

} // namespace posflash::sim
