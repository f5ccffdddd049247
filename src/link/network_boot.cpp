#include "link/network_boot.h"

#include "link/bind_helper_client.h"
#include "link/boot_port_binding.h"
#include "link/host_network.h"
#include "link/link_texts.h"
#include "link/shared_boot_ports.h"
#include "protocol/address_text.h"
#include "protocol/reply_checker.h"

#include <QNetworkInterface>

namespace posflash {

namespace {

Error networkError(int code, QString text, QString detail = {}) {
    return {code, std::move(text), std::move(detail), ErrorDomain::Network};
}

ByteView viewOf(const QByteArray& data) {
    return {reinterpret_cast<const std::uint8_t*>(data.constData()),
            static_cast<std::size_t>(data.size())};
}

} // namespace

NetworkBoot::NetworkBoot(const Faces& faces, QObject* parent)
    : FrameTransport(parent), faces_(faces) {
    connect(&bootpSocket_, &QUdpSocket::readyRead, this, &NetworkBoot::bootpReadable);
    connect(&linkSocket_, &QUdpSocket::readyRead, this, &NetworkBoot::linkReadable);
    greetingWait_.setSingleShot(true);
    greetingWait_.setTimerType(Qt::PreciseTimer);
    connect(&greetingWait_, &QTimer::timeout, this, [this] {
        if (phase_ != Phase::AwaitingDatagram)
            return;
        answerAgain_ = true;
        emit answeredWithoutGreeting(lastRequester_);
    });
}

NetworkBoot::~NetworkBoot() {
    leaveSharedPorts();
}

void NetworkBoot::leaveSharedPorts() {
    if (shared_ != nullptr && enrolled_)
        shared_->leave(this);
    enrolled_ = false;
}

Status NetworkBoot::setPrinter(const QString& ipText, const QString& macText) {
    // Nothing of an earlier attempt is reused.
    config_ = BootpConfig{};
    printer_.clear();
    const auto ip = ParseIpv4Text(ipText);
    if (!ip)
        return networkError(kInvalidIp, link_texts::invalidIp(faces_, ipText), {});
    const auto mac = ParseMacText(macText);
    if (!mac)
        return networkError(kInvalidMac, link_texts::invalidMac(faces_, macText), {});
    config_.printerIp = *ip;
    config_.printerMac = *mac;
    // From the parsed bytes: QHostAddress would read "010" as octal, and the BOOTP answer
    // gives the printer the decimal reading.
    printer_ = QHostAddress(Ipv4Number(*ip));
    return {};
}

Status NetworkBoot::bindRefused(const BootPortRefusal& refusal) const {
    const QString text = refusal.inUse ? link_texts::portHeldByAnother(faces_, refusal.port)
                                       : link_texts::bindFailed(faces_, refusal.port,
                                                                refusal.reason, BindHelperPath());
    return networkError(kBindRefused, text, refusal.reason);
}

Status NetworkBoot::startLink(const QString& bootFilePath) {
    otherSenderShown_ = false;
    answerAgain_ = false;
    config_.bootFileName = BootFileNameOf(bootFilePath);
    if (config_.bootFileName.size() > static_cast<qsizetype>(bootp::kFileSize))
        return networkError(
            kFileNameTooLong,
            link_texts::fileNameTooLong(faces_, QString::fromLocal8Bit(config_.bootFileName)), {});
    if (const auto host = ParseIpv4Text(LocalIpAddress()))
        config_.hostIp = *host;
    if (shared_ != nullptr) {
        if (const auto& refused = shared_->refusal())
            return bindRefused(*refused);
        linkSocket_.abort();
        enrolled_ = true;
        // A datagram handed over just before the link was made finds this link gone on.
        shared_->enroll(this, config_.printerMac, printer_,
                        {this,
                         [this](const QNetworkDatagram& d) {
                             if (enrolled_)
                                 answerBootp(d);
                         },
                         [this](const QNetworkDatagram& d) {
                             if (enrolled_)
                                 linkPortArrival(d);
                         }});
    } else {
        if (const auto refused = BindBootPorts(bootpSocket_, kBootpServerPort, linkSocket_,
                                               kLinkPort, InterfaceTowards(printer_.toString())))
            return bindRefused(*refused);
    }
    phase_ = Phase::AwaitingBootp;
    return {};
}

Ipv4Bytes NetworkBoot::hostAddressFor(int interfaceIndex) const {
    // The address of the interface the request came in on: on a host with several networks
    // the first Ethernet interface may not be the printer's.
    const QNetworkInterface iface = QNetworkInterface::interfaceFromIndex(interfaceIndex);
    std::optional<Ipv4Bytes> first;
    for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
        if (entry.ip().protocol() != QAbstractSocket::IPv4Protocol)
            continue;
        const auto bytes = ParseIpv4Text(entry.ip().toString());
        if (!bytes)
            continue;
        if (entry.prefixLength() > 0 && printer_.isInSubnet(entry.ip(), entry.prefixLength()))
            return *bytes;
        if (!first)
            first = bytes;
    }
    return first ? *first : config_.hostIp;
}

void NetworkBoot::bootpReadable() {
    while (bootpSocket_.state() == QAbstractSocket::BoundState &&
           bootpSocket_.hasPendingDatagrams())
        answerBootp(bootpSocket_.receiveDatagram());
}

void NetworkBoot::answerBootp(const QNetworkDatagram& request) {
    // Every datagram is consumed; only a link waiting for the request answers, and one whose
    // last answer brought no greeting.
    const bool answering =
        phase_ == Phase::AwaitingBootp || (phase_ == Phase::AwaitingDatagram && answerAgain_);
    const short step = answering ? step::kLink : step::kBootpAnswered;
    BootpConfig config = config_;
    config.hostIp = hostAddressFor(static_cast<int>(request.interfaceIndex()));
    const QByteArray data = request.data();
    const auto reply = AnswerBootpRequest(viewOf(data), config, step);
    if (!reply)
        return;
    QNetworkDatagram answer(QByteArray(reinterpret_cast<const char*>(reply->data()),
                                       static_cast<qsizetype>(reply->size())),
                            QHostAddress::Broadcast, kBootpClientPort);
    answer.setInterfaceIndex(request.interfaceIndex());
    if (shared_ != nullptr)
        shared_->sendBootpReply(answer);
    else
        bootpSocket_.writeDatagram(answer);
    const bool first = phase_ == Phase::AwaitingBootp;
    phase_ = Phase::AwaitingDatagram;
    answerAgain_ = false;
    // Who knocked: its address, and the card it came in on (a boot loader has no address yet).
    lastRequester_ = QStringLiteral("%1 (%2)").arg(
        QHostAddress(request.senderAddress().toIPv4Address()).toString(),
        QNetworkInterface::interfaceNameFromIndex(static_cast<int>(request.interfaceIndex())));
    greetingWait_.start(kGreetingWaitMs);
    if (first)
        emit bootpAnswered();
}

void NetworkBoot::linkReadable() {
    while (linkSocket_.state() == QAbstractSocket::BoundState && linkSocket_.hasPendingDatagrams())
        linkPortArrival(linkSocket_.receiveDatagram());
}

void NetworkBoot::linkPortArrival(const QNetworkDatagram& datagram) {
    const QByteArray data = datagram.data();
    // Only the printer may answer: anybody else's datagrams are dropped.
    if (datagram.senderAddress().toIPv4Address() != printer_.toIPv4Address()) {
        noteOtherSender(datagram.senderAddress(), data);
        return;
    }
    emit replied(viewOf(data));
}

void NetworkBoot::noteOtherSender(const QHostAddress& sender, const QByteArray& data) {
    // A boot loader that would have completed the link from another address is most likely
    // the printer behind a mistyped IP address: say so once, and go on waiting for the right
    // one.
    if (otherSenderShown_ || (phase_ != Phase::AwaitingBootp && phase_ != Phase::AwaitingDatagram))
        return;
    const short step = phase_ == Phase::AwaitingBootp ? step::kLink : step::kBootpAnswered;
    if (JudgeReply(step, 0, viewOf(data)) != ReplyVerdict::Accepted)
        return;
    otherSenderShown_ = true;
    emit otherSender(QHostAddress(sender.toIPv4Address()).toString(), printer_.toString());
}

void NetworkBoot::linkDatagramAccepted() {
    phase_ = Phase::Linked;
    greetingWait_.stop();
    bootpSocket_.abort();
    linkSocket_.abort();
    leaveSharedPorts();
    linkSocket_.bind(QHostAddress::AnyIPv4, 0);
}

void NetworkBoot::stopAnswering() {
    phase_ = Phase::Linked;
    greetingWait_.stop();
}

Status NetworkBoot::send(ByteView frame) {
    if (printer_.isNull())
        return Error{}; // never shown: the attempt simply gets no reply
    const auto size = static_cast<qint64>(frame.size());
    if (linkSocket_.writeDatagram(reinterpret_cast<const char*>(frame.data()), size, printer_,
                                  kPrinterFramePort) != size)
        return Error{static_cast<int>(linkSocket_.error()), linkSocket_.errorString(),
                     linkSocket_.errorString(), ErrorDomain::Socket};
    return {};
}

void NetworkBoot::close() {
    phase_ = Phase::Idle;
    greetingWait_.stop();
    answerAgain_ = false;
    linkSocket_.abort();
    bootpSocket_.abort();
    leaveSharedPorts();
}

} // namespace posflash
