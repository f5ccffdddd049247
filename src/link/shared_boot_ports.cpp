#include "link/shared_boot_ports.h"

#include "link/boot_port_binding.h"
#include "protocol/bootp_responder.h"

#include <QMutexLocker>

#include <algorithm>

namespace posflash {

SharedBootPorts::SharedBootPorts(QObject* parent) : QObject(parent) {
    connect(&bootp_, &QUdpSocket::readyRead, this, &SharedBootPorts::bootpReadable);
    connect(&link_, &QUdpSocket::readyRead, this, &SharedBootPorts::linkReadable);
}

void SharedBootPorts::bind(quint16 bootpPort, quint16 linkPort, const QString& interfaceName) {
    // Both ports in one go, so the process asks the bind helper at most once for them.
    refusal_ = BindBootPorts(bootp_, bootpPort, link_, linkPort, interfaceName);
}

void SharedBootPorts::enroll(const void* key, const MacBytes& mac, const QHostAddress& printer,
                             Receiver receiver) {
    const QMutexLocker lock(&mutex_);
    enrolled_[key] = Enrolled{mac, printer.toIPv4Address(), std::move(receiver)};
}

void SharedBootPorts::leave(const void* key) {
    const QMutexLocker lock(&mutex_);
    enrolled_.erase(key);
}

void SharedBootPorts::sendBootpReply(const QNetworkDatagram& reply) {
    QMetaObject::invokeMethod(
        this, [this, reply] { bootp_.writeDatagram(reply); }, Qt::QueuedConnection);
}

void SharedBootPorts::handOver(const QNetworkDatagram& datagram,
                               const std::function<bool(const Enrolled&)>& mine, bool bootp) {
    const QMutexLocker lock(&mutex_);
    const auto it = std::find_if(enrolled_.begin(), enrolled_.end(),
                                 [&mine](const auto& entry) { return mine(entry.second); });
    if (it == enrolled_.end())
        return;
    // Posted while enrolled: an engine that leaves first takes its pending calls with it,
    // since they are the context object's events.
    const Receiver& to = it->second.receiver;
    auto call = bootp ? to.bootpRequest : to.linkDatagram;
    QMetaObject::invokeMethod(
        to.context, [call = std::move(call), datagram] { call(datagram); }, Qt::QueuedConnection);
}

void SharedBootPorts::bootpReadable() {
    while (bootp_.hasPendingDatagrams()) {
        const QNetworkDatagram request = bootp_.receiveDatagram();
        const QByteArray data = request.data();
        if (data.size() < static_cast<qsizetype>(bootp::kChaddrAt + MacBytes{}.size()))
            continue;
        const auto* chaddr =
            reinterpret_cast<const std::uint8_t*>(data.constData()) + bootp::kChaddrAt;
        handOver(
            request,
            [chaddr](const Enrolled& e) { return std::equal(e.mac.begin(), e.mac.end(), chaddr); },
            true);
    }
}

void SharedBootPorts::linkReadable() {
    while (link_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = link_.receiveDatagram();
        const quint32 sender = datagram.senderAddress().toIPv4Address();
        handOver(
            datagram, [sender](const Enrolled& e) { return e.ip == sender; }, false);
    }
}

} // namespace posflash
