#pragma once

#include "link/boot_port_binding.h"
#include "protocol/address_text.h"

#include <QHostAddress>
#include <QMutex>
#include <QNetworkDatagram>
#include <QObject>
#include <QString>
#include <QUdpSocket>

#include <functional>
#include <map>
#include <optional>

namespace posflash {

// The BOOTP port (67) and the link port (69) of a process that downloads to several network
// printers at once. Both are bound once, on the thread that owns this, and every printer's
// engine enrolls its printer here. A BOOTP request goes to the
// engine that enrolled the MAC address it carries, a datagram on the link port to the engine
// that enrolled its sender's address, each as a queued call to that engine; what nobody
// enrolled is dropped.
class SharedBootPorts : public QObject {
public:
    using BindRefusal = BootPortRefusal;

    // Where one printer's datagrams go. The calls run on the context object's thread.
    struct Receiver {
        QObject* context = nullptr;
        std::function<void(const QNetworkDatagram&)> bootpRequest;
        std::function<void(const QNetworkDatagram&)> linkDatagram;
    };

    explicit SharedBootPorts(QObject* parent = nullptr);

    // On the owner's thread, before any engine enrolls: binds both ports (through the bind
    // helper on the printers' interface when the process may not), and keeps the refusal of the
    // first one that could not be bound.
    void bind(quint16 bootpPort, quint16 linkPort, const QString& interfaceName);
    // Unchanged once bound, so any thread may read it.
    const std::optional<BindRefusal>& refusal() const { return refusal_; }

    // From any thread. The key names the enrollment; a printer enrolled again replaces it.
    void enroll(const void* key, const MacBytes& mac, const QHostAddress& printer,
                Receiver receiver);
    // No call reaches the key's receiver once this returns.
    void leave(const void* key);
    // Sends a reply from the BOOTP port (on the owner's thread, whichever thread asks).
    void sendBootpReply(const QNetworkDatagram& reply);

private:
    struct Enrolled {
        MacBytes mac{};
        quint32 ip = 0;
        Receiver receiver;
    };

    void bootpReadable();
    void linkReadable();
    // Posts the datagram to the enrolled printer that mine() picks, if any.
    void handOver(const QNetworkDatagram& datagram,
                  const std::function<bool(const Enrolled&)>& mine, bool bootp);

    QUdpSocket bootp_;
    QUdpSocket link_;
    std::optional<BindRefusal> refusal_;
    QMutex mutex_; // guards enrolled_
    std::map<const void*, Enrolled> enrolled_;
};

} // namespace posflash
