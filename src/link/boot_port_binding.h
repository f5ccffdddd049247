#pragma once

#include <QString>
#include <QUdpSocket>

#include <optional>

namespace posflash {

// A port of the network link that could not be bound, and why (the system's or Qt's words).
struct BootPortRefusal {
    quint16 port = 0;
    QString reason;
    bool inUse = false; // another socket holds the port
};

// Binds the BOOTP and the link socket on 0.0.0.0: directly when this program may (root, or a
// namespace whose unprivileged ports start low enough), else through posflash-bind-helper on
// the printers' interface (the helper binds nothing wider), whose sockets the Qt sockets adopt.
// Either both are bound, or neither and the refusal of the first port that failed: a missing
// helper, or one without its right, gives the direct bind's refusal.
std::optional<BootPortRefusal> BindBootPorts(QUdpSocket& bootp, quint16 bootpPort, QUdpSocket& link,
                                             quint16 linkPort, const QString& interfaceName);

} // namespace posflash
