#pragma once

#include "base/bytes.h"
#include "link/frame_transport.h"
#include "protocol/bootp_responder.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace posflash {

class Faces;
class SharedBootPorts;
struct BootPortRefusal;

// The network link: the BOOTP responder on port 67 and the link socket on port 69, which
// after the link becomes the frames' socket towards the printer's port 13633. Datagrams from
// the printer's address are its replies; anybody else's are dropped.
class NetworkBoot : public FrameTransport {
    Q_OBJECT
public:
    static constexpr quint16 kBootpServerPort = 67;
    static constexpr quint16 kBootpClientPort = 68;
    static constexpr quint16 kLinkPort = 69;
    static constexpr quint16 kPrinterFramePort = 13633;
    // An answered request that brings no greeting from the printer's address within this long
    // came from somebody else, or was lost: the next request with the printer's MAC is answered
    // too. The printer repeats its request every second.
    static constexpr int kGreetingWaitMs = 5000;

    // Error codes of the network link.
    enum Code { kInvalidIp = 1, kInvalidMac, kFileNameTooLong, kBindRefused };

    explicit NetworkBoot(const Faces& faces, QObject* parent = nullptr);
    ~NetworkBoot() override;

    // With several printers at once, the process's ports 67 and 69 instead of binding them
    // here. Null: its own.
    void shareBootPorts(SharedBootPorts* ports) { shared_ = ports; }

    // The printer's addresses, as typed. Refused when they are not addresses; nothing is bound.
    Status setPrinter(const QString& ipText, const QString& macText);
    // Binds ports 67 and 69 (or enrolls in the shared ones) and answers the printer's BOOTP
    // request with the image's file name.
    Status startLink(const QString& bootFilePath);
    // The printer's first datagram on the link port completed the link: the frames leave from
    // a fresh local port towards the printer's frame port. No more BOOTP answers either way.
    void linkDatagramAccepted();
    // The link came up without the datagram step (the boot loader greeted on port 69).
    void stopAnswering();

    Status send(ByteView frame) override;
    // Closes the link socket and the responder.
    void close() override;

    const BootpConfig& config() const { return config_; }
    quint16 linkLocalPort() const { return linkSocket_.localPort(); }
    QString printerIp() const { return printer_.toString(); }

signals:
    // The BOOTP answer went out: any datagram of the printer's now completes the link.
    void bootpAnswered();
    // A boot loader greeted from an address other than the printer's (once per link).
    void otherSender(const QString& sender, const QString& printer);
    // The request answered last (from requester) brought no greeting in kGreetingWaitMs; the
    // next one with the printer's MAC is answered.
    void answeredWithoutGreeting(const QString& requester);

private:
    enum class Phase { Idle, AwaitingBootp, AwaitingDatagram, Linked };

    Status bindRefused(const BootPortRefusal& refusal) const;
    void bootpReadable();
    void linkReadable();
    void answerBootp(const QNetworkDatagram& request);
    void linkPortArrival(const QNetworkDatagram& datagram);
    void leaveSharedPorts();
    void noteOtherSender(const QHostAddress& sender, const QByteArray& data);
    Ipv4Bytes hostAddressFor(int interfaceIndex) const;

    const Faces& faces_;
    QUdpSocket bootpSocket_;
    // The link port; after the link, the frames' socket on a port of its own. With shared
    // ports it is only the frames' socket.
    QUdpSocket linkSocket_;
    SharedBootPorts* shared_ = nullptr;
    bool enrolled_ = false;
    Phase phase_ = Phase::Idle;
    QHostAddress printer_;
    BootpConfig config_;
    bool otherSenderShown_ = false;
    QTimer greetingWait_;
    bool answerAgain_ = false;
    QString lastRequester_;
};

} // namespace posflash
