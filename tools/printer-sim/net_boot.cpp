#include "printer-sim/net_boot.h"

#include "printer-sim/boot_loader.h"

#include <QJsonArray>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QRandomGenerator>

#include <cstdio>

namespace posflash::sim {

namespace {

constexpr std::uint8_t kGreetingStatus = 0x01;
// Distinct frame senders kept for the report; a tool uses one or two.
constexpr qsizetype kFrameSendersCap = 16;

QByteArray toQByteArray(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

ByteView viewOf(const QByteArray& bytes) {
    return ByteView(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                    static_cast<std::size_t>(bytes.size()));
}

QHostAddress hostAddress(const Ipv4& ip) {
    return QHostAddress(Ipv4Number(ip));
}

// Where a printer's broadcast goes out: every Ethernet-like interface that is up, or the
// loopback interface in a namespace that has nothing else. Without a default route the kernel
// refuses 255.255.255.255 unless the interface is named.
QList<QNetworkInterface> broadcastInterfaces() {
    QList<QNetworkInterface> wired;
    QList<QNetworkInterface> loopback;
    for (const QNetworkInterface& i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp) ||
            !flags.testFlag(QNetworkInterface::IsRunning))
            continue;
        if (flags.testFlag(QNetworkInterface::IsLoopBack))
            loopback << i;
        else if (flags.testFlag(QNetworkInterface::CanBroadcast))
            wired << i;
    }
    return wired.isEmpty() ? loopback : wired;
}

} // namespace

NetBoot::NetBoot(const NetOptions& options, UdpFrameLine& frameLine, QObject* parent)
    : QObject(parent), options_(options), frameLine_(frameLine) {
    retryTimer_.setInterval(kRetryMs);
    connect(&retryTimer_, &QTimer::timeout, this,
            [this] { options_.greet ? sendGreeting() : sendRequest(); });
    connect(&bootpSocket_, &QUdpSocket::readyRead, this, &NetBoot::repliesReadable);
    connect(&frameLine_, &UdpFrameLine::datagramArrived, this, &NetBoot::onFrameDatagram);

    fields_.mac = options_.mac.value_or(Mac{});
    fields_.xid = QRandomGenerator::global()->generate();
    // Not zero, so a server that builds its reply afresh instead of echoing it is caught.
    fields_.secs = static_cast<std::uint16_t>(QRandomGenerator::global()->bounded(1, 600));
    fields_.brand = options_.brand;
    fields_.length = options_.bootpLength;
    request_ = BuildBootpRequest(fields_);
}

posflash::Status NetBoot::bind() {
    if (options_.greet ||
        bootpSocket_.bind(QHostAddress::AnyIPv4, kClientPort, QAbstractSocket::DontShareAddress))
        return {};
    return posflash::Error{static_cast<int>(bootpSocket_.error()),
                           QStringLiteral("cannot bind UDP port %1 on 0.0.0.0: %2")
                               .arg(kClientPort)
                               .arg(bootpSocket_.errorString())};
}

void NetBoot::start() {
    if (linked_) {
        // A new boot: a new transaction, and a link to be made again.
        fields_.xid = QRandomGenerator::global()->generate();
        request_ = BuildBootpRequest(fields_);
        linked_ = false;
        earlyFrameNoted_ = false;
    }
    asking_ = true;
    retryTimer_.start();
    options_.greet ? sendGreeting() : sendRequest();
}

void NetBoot::stop() {
    asking_ = false;
    retryTimer_.stop();
}

void NetBoot::sendRequest() {
    broadcast(toQByteArray(request_));
}

void NetBoot::broadcast(const QByteArray& message) {
    ++requestsSent_;
    for (const QNetworkInterface& i : broadcastInterfaces()) {
        QNetworkDatagram datagram(message, QHostAddress::Broadcast, kServerPort);
        datagram.setInterfaceIndex(static_cast<uint>(i.index()));
        if (bootpSocket_.writeDatagram(datagram) != message.size())
            warnOnce(QStringLiteral("cannot broadcast the BOOTP request on %1: %2")
                         .arg(i.name(), bootpSocket_.errorString()));
    }
}

void NetBoot::repliesReadable() {
    while (bootpSocket_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = bootpSocket_.receiveDatagram();
        if (datagram.isValid())
            onReply(datagram.data());
    }
}

void NetBoot::onReply(const QByteArray& bytes) {
    if (!asking_)
        return; // restarting: nothing listens
    ++repliesReceived_;
    const QString context = QStringLiteral("BOOTP reply #%1: ").arg(repliesReceived_);
    if (linked_) {
        addError(context + QStringLiteral("came after the link was made; one request per link "
                                          "attempt is answered"));
        return;
    }
    const BootpVerdict verdict = CheckBootpReply(request_, viewOf(bytes), *options_.ip);
    for (const QString& error : verdict.errors)
        addError(context + error);
    if (!verdict.accepted)
        return; // a printer ignores what is not its answer, and keeps asking
    serverIp_ = verdict.serverIp;
    bootFile_ = verdict.bootFile;
    link();
}

void NetBoot::link() {
    retryTimer_.stop();
    for (int i = 0; i < options_.requestsAfterReply; ++i)
        sendRequest();
    linked_ = true;
    // Any content will do; the host only learns from it that the printer is listening.
    const QByteArray linkDatagram = toQByteArray(Bytes(kPrefix.begin(), kPrefix.end()));
    frameLine_.sendTo(linkDatagram, hostAddress(*serverIp_), kLinkPort, hostAddress(*options_.ip));
    std::printf("LINK server %s, boot file \"%s\"\n", qPrintable(FormatIpv4(*serverIp_)),
                qPrintable(bootFile_.value_or(QString())));
    std::fflush(stdout);
    emit linked();
}

void NetBoot::sendGreeting() {
    ++greetingsSent_;
    const Bytes greeting = BuildReply(kGreetingStatus, 0, 0, std::nullopt);
    frameLine_.sendTo(toQByteArray(greeting), hostAddress(*options_.host), kLinkPort,
                      hostAddress(*options_.ip));
}

void NetBoot::onFrameDatagram(const QHostAddress& sender, quint16 senderPort,
                              const QHostAddress& destination) {
    if (options_.greet && !linked_) {
        // The tool heard the greeting: its first frame ends the printer's retries.
        retryTimer_.stop();
        linked_ = true;
        emit linked();
    } else if (!linked_ && !earlyFrameNoted_) {
        earlyFrameNoted_ = true;
        addError(QStringLiteral("frame datagram from %1 before the link datagram was sent")
                     .arg(sender.toString()));
    }
    const QString from = QStringLiteral("%1:%2").arg(sender.toString()).arg(senderPort);
    if (!frameSenders_.contains(from) && frameSenders_.size() < kFrameSendersCap)
        frameSenders_ << from;
    const QHostAddress own = hostAddress(*options_.ip);
    if (!destination.isNull() && !destination.isEqual(own, QHostAddress::ConvertV4MappedToIPv4) &&
        !wrongDestinations_.contains(destination.toString())) {
        wrongDestinations_.insert(destination.toString());
        addError(QStringLiteral("frame datagram sent to %1, the printer's address is %2")
                     .arg(destination.toString(), own.toString()));
    }
}

void NetBoot::addError(const QString& text) {
    if (errors_.size() < BootLoader::kErrorListCap)
        errors_ << text;
    else
        ++errorsNotListed_;
}

void NetBoot::warnOnce(const QString& text) {
    if (warnings_.contains(text))
        return;
    warnings_.insert(text);
    std::fprintf(stderr, "posflash-printer-sim: %s\n", qPrintable(text));
}

ReportAddition NetBoot::report() const {
    const auto orNull = [](const auto& value, auto convert) {
        return value ? QJsonValue(convert(*value)) : QJsonValue();
    };
    ReportAddition addition;
    addition.fields = {
        {"bootp_requests", requestsSent_},
        {"bootp_replies", repliesReceived_},
        {"bootp_errors_not_listed", static_cast<qint64>(errorsNotListed_)},
        {"server_ip", orNull(serverIp_, FormatIpv4)},
        {"boot_file", orNull(bootFile_, [](const QString& s) { return s; })},
        {"linked", linked_},
        {"greetings_sent", greetingsSent_},
        {"frame_senders", QJsonArray::fromStringList(frameSenders_)},
    };
    addition.errors = errors_;
    return addition;
}

} // namespace posflash::sim
