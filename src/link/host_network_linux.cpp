#include "link/host_network.h"

#include "protocol/address_text.h"

#include <QFile>
#include <QNetworkInterface>

#include <fcntl.h>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace posflash {

QString ChooseLocalIpAddress(const std::vector<HostInterface>& interfaces) {
    if (interfaces.empty())
        return {};
    auto chosen = interfaces.end() - 1;
    for (auto it = interfaces.begin(); it != interfaces.end(); ++it)
        if (it->ethernet) {
            chosen = it;
            break;
        }
    return chosen->firstIpv4.isEmpty() ? QStringLiteral("0.0.0.0") : chosen->firstIpv4;
}

QString LocalIpAddress() {
    std::vector<HostInterface> list;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        HostInterface entry;
        entry.ethernet = iface.type() == QNetworkInterface::Ethernet;
        for (const QNetworkAddressEntry& address : iface.addressEntries())
            if (address.ip().protocol() == QAbstractSocket::IPv4Protocol) {
                entry.firstIpv4 = address.ip().toString();
                break;
            }
        list.push_back(entry);
    }
    return ChooseLocalIpAddress(list);
}

QString InterfaceTowards(const QString& ip) {
    // Parsed bytes, not QHostAddress, which reads "010" as octal.
    const auto bytes = ParseIpv4Text(ip);
    if (!bytes)
        return {};
    const QHostAddress printer(Ipv4Number(*bytes));
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    const auto usable = [](const QNetworkInterface& iface) {
        return iface.flags().testFlag(QNetworkInterface::IsUp) &&
               !iface.flags().testFlag(QNetworkInterface::IsLoopBack);
    };
    for (const QNetworkInterface& iface : interfaces)
        if (usable(iface))
            for (const QNetworkAddressEntry& entry : iface.addressEntries())
                if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol &&
                    entry.prefixLength() > 0 &&
                    printer.isInSubnet(entry.ip(), entry.prefixLength()))
                    return iface.name();
    // A printer outside every local network: the route's source address names the interface.
    // A connected UDP socket sends nothing.
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(67);
    to.sin_addr.s_addr = htonl(Ipv4Number(*bytes));
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    const bool routed = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
                        ::getsockname(fd, reinterpret_cast<sockaddr*>(&from), &fromSize) == 0;
    ::close(fd);
    if (!routed)
        return {};
    const QHostAddress source(ntohl(from.sin_addr.s_addr));
    for (const QNetworkInterface& iface : interfaces)
        if (usable(iface))
            for (const QNetworkAddressEntry& entry : iface.addressEntries())
                if (entry.ip() == source)
                    return iface.name();
    return {};
}

QString ArpInterfaceFor(const QString& arpTable, const QString& ip) {
    // "IP address  HW type  Flags  HW address  Mask  Device", a header line first.
    const QStringList lines = arpTable.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines[i].simplified().split(QLatin1Char(' '));
        if (fields.size() >= 6 && fields[0] == ip)
            return fields[5];
    }
    return {};
}

namespace {

// Deletes every IPv4 neighbour entry of one interface over rtnetlink.
void flushNeighbours(unsigned ifindex) {
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return;
    // The kernel answers a dump at once; the limit only guards against a stuck socket.
    const timeval limit{0, 500000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    struct {
        nlmsghdr header;
        ndmsg body;
    } dump{};
    dump.header.nlmsg_len = sizeof dump;
    dump.header.nlmsg_type = RTM_GETNEIGH;
    dump.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    dump.header.nlmsg_seq = 1;
    dump.body.ndm_family = AF_INET;
    if (::send(fd, &dump, sizeof dump, 0) < 0) {
        ::close(fd);
        return;
    }

    std::vector<std::vector<char>> deletions;
    alignas(nlmsghdr) char buffer[16384];
    bool done = false;
    while (!done) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        auto len = static_cast<unsigned>(got);
        for (auto* msg = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(msg, len);
             msg = NLMSG_NEXT(msg, len)) {
            if (msg->nlmsg_type == NLMSG_DONE || msg->nlmsg_type == NLMSG_ERROR) {
                done = true;
                break;
            }
            if (msg->nlmsg_type != RTM_NEWNEIGH || msg->nlmsg_len < NLMSG_LENGTH(sizeof(ndmsg)))
                continue;
            const auto* neighbour = static_cast<const ndmsg*>(NLMSG_DATA(msg));
            if (neighbour->ndm_ifindex != static_cast<int>(ifindex))
                continue;
            // The same message, turned into a deletion, names the entry exactly.
            std::vector<char> deletion(reinterpret_cast<char*>(msg),
                                       reinterpret_cast<char*>(msg) + msg->nlmsg_len);
            auto* header = reinterpret_cast<nlmsghdr*>(deletion.data());
            header->nlmsg_type = RTM_DELNEIGH;
            header->nlmsg_flags = NLM_F_REQUEST;
            deletions.push_back(std::move(deletion));
        }
    }
    for (const auto& deletion : deletions)
        [[maybe_unused]] auto sent = ::send(fd, deletion.data(), deletion.size(), 0);
    ::close(fd);
}

} // namespace

void FlushArpFor(const QString& ip) {
    QFile table(QStringLiteral("/proc/net/arp"));
    if (!table.open(QIODevice::ReadOnly))
        return;
    const QString device = ArpInterfaceFor(QString::fromLatin1(table.readAll()), ip);
    if (device.isEmpty())
        return;
    const unsigned ifindex = if_nametoindex(device.toLocal8Bit().constData());
    if (ifindex != 0)
        flushNeighbours(ifindex);
}

void ConnectionEndWatch::watch(qintptr socket) {
    release();
    fd_ = ::fcntl(static_cast<int>(socket), F_DUPFD_CLOEXEC, 0);
}

// A FIN leaves the socket half open (CLOSE_WAIT) while this descriptor holds it; a reset
// closes it at once.
bool ConnectionEndWatch::endedByReset() {
    tcp_info info{};
    socklen_t size = sizeof info;
    const bool reset = fd_ >= 0 && ::getsockopt(fd_, IPPROTO_TCP, TCP_INFO, &info, &size) == 0 &&
                       info.tcpi_state == TCP_CLOSE;
    release();
    return reset;
}

void ConnectionEndWatch::release() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

} // namespace posflash
