#include "link/boot_port_binding.h"

#include "link/bind_helper_client.h"

#include <QHostAddress>

#include <array>
#include <cerrno>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace posflash {

namespace {

struct Wanted {
    QUdpSocket* socket;
    quint16 port;
};

// A socket the helper bound, made the Qt socket's own: non-blocking like Qt's, and telling on
// which card each datagram came in (the BOOTP answer leaves through it).
bool adopt(QUdpSocket& socket, int fd) {
    const int on = 1;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0 ||
        ::setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on) != 0 ||
        !socket.setSocketDescriptor(fd, QAbstractSocket::BoundState)) {
        ::close(fd);
        return false;
    }
    return true;
}

} // namespace

std::optional<BootPortRefusal> BindBootPorts(QUdpSocket& bootp, quint16 bootpPort, QUdpSocket& link,
                                             quint16 linkPort, const QString& interfaceName) {
    const std::array<Wanted, 2> wanted{Wanted{&bootp, bootpPort}, Wanted{&link, linkPort}};
    const auto refuse = [&](quint16 port, const QString& reason, bool inUse = false) {
        bootp.abort();
        link.abort();
        return BootPortRefusal{port, reason, inUse};
    };
    std::optional<BootPortRefusal> protectedPort;
    std::vector<Wanted> forHelper;
    for (const Wanted& w : wanted) {
        w.socket->abort();
        if (w.socket->bind(QHostAddress::AnyIPv4, w.port))
            continue;
        if (w.socket->error() != QAbstractSocket::SocketAccessError)
            return refuse(w.port, w.socket->errorString(),
                          w.socket->error() == QAbstractSocket::AddressInUseError);
        if (!protectedPort)
            protectedPort = BootPortRefusal{w.port, w.socket->errorString()};
        forHelper.push_back(w);
    }
    if (forHelper.empty())
        return std::nullopt;

    std::vector<quint16> ports;
    for (const Wanted& w : forHelper)
        ports.push_back(w.port);
    // The helper binds on one interface only; without one there is nothing to ask it.
    if (interfaceName.isEmpty())
        return refuse(protectedPort->port,
                      QStringLiteral("no network interface leads to the printer's address"));
    HelperAnswer answer = BindThroughHelper(BindHelperPath(), interfaceName, ports);
    if (answer.fds.empty()) {
        // No helper, or one without its right: the program's own refusal, whose remedy is the
        // helper's right.
        if (answer.error == ENOENT || answer.error == EACCES || answer.error == EPERM)
            return refuse(protectedPort->port, protectedPort->reason);
        return refuse(answer.port != 0 ? answer.port : protectedPort->port, answer.text,
                      answer.error == EADDRINUSE);
    }
    std::optional<BootPortRefusal> notAdopted;
    for (std::size_t i = 0; i < forHelper.size(); ++i)
        if (notAdopted)
            ::close(answer.fds[i]);
        else if (!adopt(*forHelper[i].socket, answer.fds[i]))
            notAdopted = BootPortRefusal{forHelper[i].port, forHelper[i].socket->errorString()};
    if (notAdopted)
        return refuse(notAdopted->port, notAdopted->reason);
    return std::nullopt;
}

} // namespace posflash
