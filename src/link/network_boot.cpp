#include "link/network_boot.h"

#include "base/panel.h"
#include "base/userfunction.h"
#include "link/app_to_boot.h"
#include "link/link_texts.h"
#include "link/mnetopt.h"
#include "link/shared_boot_ports.h"
#include "protocol/reply_checker.h"

#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QNetworkInterface>

namespace posflash {

NetworkBoot::NetworkBoot(Panel& panel, const Faces& faces, BootLink& link, AppToBoot& appToBoot,
                         QObject* parent)
    : QObject(parent), panel_(panel), faces_(faces), link_(link), appToBoot_(appToBoot) {
    connect(&udpBOOTP_, &QUdpSocket::readyRead, this, &NetworkBoot::bootpArrival);
    connect(&udpTFTP_, &QUdpSocket::readyRead, this, &NetworkBoot::tftpArrival);
}

NetworkBoot::~NetworkBoot() {
    leaveSharedPorts();
}

void NetworkBoot::leaveSharedPorts() {
    if (shared_ != nullptr)
        shared_->leave(this);
    enrolled_ = false;
}

Failure NetworkBoot::takePrinterAddress() {
    // Refused before any socket is bound; nothing of an earlier attempt is reused.
    config_ = BootpConfig{};
    printer_.clear();
    const QString ipText = panel_.ipAddressText();
    const auto ip = ParseIpv4Text(ipText);
    if (!ip)
        return Error{kInvalidIp, link_texts::invalidIp(faces_, ipText)};
    const QString macText = panel_.macAddressText();
    const auto mac = ParseMacText(macText);
    if (!mac)
        return Error{kInvalidMac, link_texts::invalidMac(faces_, macText)};
    config_.PrinterIpBytes = *ip;
    config_.PrinterMacBytes = *mac;
    printer_ = QHostAddress(ipText);
    return std::nullopt;
}

Failure NetworkBoot::bind(QUdpSocket& socket, quint16 port) {
    socket.abort();
    if (socket.bind(QHostAddress::AnyIPv4, port))
        return std::nullopt;
    const QString program = QCoreApplication::applicationFilePath();
    return Error{kBindRefused, link_texts::bindFailed(faces_, port, socket.errorString(), program)};
}

Failure NetworkBoot::startBootLoaderLink() {
    if (Failure refused = takePrinterAddress())
        return refused;
    otherSenderShown_ = false;
    config_.BootFileName = BootFileNameOf(panel_.programFilePath());
    if (config_.BootFileName.size() > static_cast<qsizetype>(bootp::kFileSize))
        return Error{kFileNameTooLong, link_texts::fileNameTooLong(
                                           faces_, QString::fromLocal8Bit(config_.BootFileName))};
    if (const auto host = ParseIpv4Text(GetLocalIpAddress()))
        config_.HostIpBytes = *host;
    if (shared_ != nullptr) {
        if (const auto& refused = shared_->refusal())
            return Error{kBindRefused,
                         link_texts::bindFailed(faces_, refused->port, refused->reason,
                                                QCoreApplication::applicationFilePath())};
        udpTFTP_.abort();
        // A call handed over just before the link was made finds the engine gone on.
        enrolled_ = true;
        shared_->enroll(this, config_.PrinterMacBytes, printer_,
                        {this,
                         [this](const QNetworkDatagram& d) {
                             if (enrolled_)
                                 answerBootp(d);
                         },
                         [this](const QNetworkDatagram& d) {
                             if (enrolled_)
                                 linkPortArrival(d);
                         }});
        return std::nullopt;
    }
    if (Failure refused = bind(udpBOOTP_, kBootpServerPort))
        return refused;
    if (Failure refused = bind(udpTFTP_, kLinkPort)) {
        udpBOOTP_.abort();
        return refused;
    }
    return std::nullopt;
}

Failure NetworkBoot::startFontModeLink() {
    if (Failure refused = takePrinterAddress())
        return refused;
    appToBoot_.sendBootCommand();
    if (appToBoot_.monitorConnected())
        return std::nullopt;
    // The command's own status texts have told the user; the link failure text follows.
    return Error{kNotConnected, {}};
}

bool NetworkBoot::fontModeLinkUp() const {
    return appToBoot_.monitorUsable();
}

Ipv4Bytes NetworkBoot::hostAddressFor(int interfaceIndex) const {
    // The address of the interface the request came in on: on a host with several networks
    // the first Ethernet interface may not be the printer's.
    const QNetworkInterface iface = QNetworkInterface::interfaceFromIndex(interfaceIndex);
    const QHostAddress printer(BytesToDottedIp(config_.PrinterIpBytes.data(), 4));
    std::optional<Ipv4Bytes> first;
    for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
        if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        const auto bytes = ParseIpv4Text(entry.ip().toString());
        if (!bytes)
            continue;
        if (entry.prefixLength() > 0 && printer.isInSubnet(entry.ip(), entry.prefixLength()))
            return *bytes;
        if (!first)
            first = bytes;
    }
    return first ? *first : config_.HostIpBytes;
}

void NetworkBoot::bootpArrival() {
    while (udpBOOTP_.hasPendingDatagrams())
        answerBootp(udpBOOTP_.receiveDatagram());
}

void NetworkBoot::answerBootp(const QNetworkDatagram& request) {
    // Every datagram is consumed in every step; only step 0 answers.
    const QByteArray data = request.data();
    BootpConfig config = config_;
    config.HostIpBytes = hostAddressFor(static_cast<int>(request.interfaceIndex()));
    const auto reply =
        AnswerBootpRequest(ByteView(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                    static_cast<std::size_t>(data.size())),
                           config, link_.state().BootloadrStep);
    if (!reply)
        return;
    QNetworkDatagram answer(QByteArray(reinterpret_cast<const char*>(reply->data()),
                                       static_cast<qsizetype>(reply->size())),
                            QHostAddress::Broadcast, kBootpClientPort);
    answer.setInterfaceIndex(request.interfaceIndex());
    if (shared_ != nullptr)
        shared_->sendBootpReply(answer);
    else
        udpBOOTP_.writeDatagram(answer);
    link_.setStep(step::kBootpAnswered);
}

void NetworkBoot::tftpArrival() {
    while (udpTFTP_.state() == QAbstractSocket::BoundState && udpTFTP_.hasPendingDatagrams())
        linkPortArrival(udpTFTP_.receiveDatagram());
}

void NetworkBoot::linkPortArrival(const QNetworkDatagram& datagram) {
    const QByteArray data = datagram.data();
    // Only the printer may acknowledge frames: anybody else's datagrams are dropped.
    if (datagram.senderAddress().toIPv4Address() != printer_.toIPv4Address()) {
        noteOtherSender(datagram.senderAddress(), data);
        return;
    }
    link_.socketArrival(ByteView(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                 static_cast<std::size_t>(data.size())));
}

void NetworkBoot::noteOtherSender(const QHostAddress& sender, const QByteArray& data) {
    // A boot loader that would have completed the link from another address is most likely
    // the printer behind a mistyped IP address: say so once, and go on waiting for the right
    // one.
    const short step = link_.state().BootloadrStep;
    if (otherSenderShown_ || (step != step::kLink && step != step::kBootpAnswered))
        return;
    const ByteView bytes(reinterpret_cast<const std::uint8_t*>(data.constData()),
                         static_cast<std::size_t>(data.size()));
    if (JudgeReply(step, link_.state().ExpectedFrameNo, bytes) != Verdict::Accepted)
        return;
    otherSenderShown_ = true;
    panel_.setStatusPanel(
        QStringLiteral(" ") +
        link_texts::linkFromOtherAddress(faces_, QHostAddress(sender.toIPv4Address()).toString(),
                                         printer_.toString()));
}

void NetworkBoot::linkDatagramArrived() {
    // The frames leave from a fresh local port towards the printer's frame port.
    udpBOOTP_.abort();
    udpTFTP_.abort();
    leaveSharedPorts();
    udpTFTP_.bind(QHostAddress::AnyIPv4, 0);
}

bool NetworkBoot::udpSend(ByteView frame) {
    if (printer_.isNull())
        return false;
    const auto size = static_cast<qint64>(frame.size());
    return udpTFTP_.writeDatagram(reinterpret_cast<const char*>(frame.data()), size, printer_,
                                  kPrinterFramePort) == size;
}

void NetworkBoot::closeLink() {
    closeSockets();
    appToBoot_.tcpClientMonitorClose();
}

void NetworkBoot::closeSockets() {
    udpTFTP_.abort();
    udpBOOTP_.abort();
    leaveSharedPorts();
}

} // namespace posflash
