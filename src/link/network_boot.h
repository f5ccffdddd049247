#pragma once

#include "base/bytes.h"
#include "link/boot_link.h"
#include "protocol/bootp_responder.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QObject>
#include <QUdpSocket>

namespace posflash {

class AppToBoot;
class Faces;
class Panel;
class SharedBootPorts;

// The network link: the BOOTP responder on port 67, the link socket on port 69 that turns
// towards the printer's port 13633, and the way through the running firmware for fonts.
class NetworkBoot : public QObject, public NetworkLink {
    Q_OBJECT
public:
    static constexpr quint16 kBootpServerPort = 67;
    static constexpr quint16 kBootpClientPort = 68;
    static constexpr quint16 kLinkPort = 69;
    static constexpr quint16 kPrinterFramePort = 13633;

    NetworkBoot(Panel& panel, const Faces& faces, BootLink& link, AppToBoot& appToBoot,
                QObject* parent = nullptr);
    ~NetworkBoot() override;

    // With several printers at once, the process's ports 67 and 69 instead of binding them
    // here: they must outlive this link. Null: its own (one printer per process).
    void shareBootPorts(SharedBootPorts* ports) { shared_ = ports; }

    // Error codes of the network link.
    enum Code { kInvalidIp = 1, kInvalidMac, kFileNameTooLong, kBindRefused, kNotConnected };

    Failure startBootLoaderLink() override;
    Failure startFontModeLink() override;
    bool fontModeLinkUp() const override;
    void linkDatagramArrived() override;
    void closeLink() override;

    // One frame, one datagram, to the printer's frame port.
    bool udpSend(ByteView frame);
    // Closes the link socket and the responder (the end of a network download).
    void closeSockets();

    const BootpConfig& config() const { return config_; }
    quint16 linkLocalPort() const { return udpTFTP_.localPort(); }

private:
    Failure takePrinterAddress();
    Failure bind(QUdpSocket& socket, quint16 port);
    void bootpArrival();
    void tftpArrival();
    void answerBootp(const QNetworkDatagram& request);
    void linkPortArrival(const QNetworkDatagram& datagram);
    void leaveSharedPorts();
    void noteOtherSender(const QHostAddress& sender, const QByteArray& data);
    Ipv4Bytes hostAddressFor(int interfaceIndex) const;

    Panel& panel_;
    const Faces& faces_;
    BootLink& link_;
    AppToBoot& appToBoot_;
    QUdpSocket udpBOOTP_;
    // The link port; after the link, the frames' socket on a port of its own. With shared
    // ports it is only the frames' socket.
    QUdpSocket udpTFTP_;
    SharedBootPorts* shared_ = nullptr;
    bool enrolled_ = false; // with the shared ports, from the link's start to the link
    QHostAddress printer_;
    BootpConfig config_;
    bool otherSenderShown_ = false; // once per link wait
};

} // namespace posflash
