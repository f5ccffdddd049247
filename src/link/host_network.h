#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

namespace posflash {

// One network interface as the host lists it.
struct HostInterface {
    bool ethernet = false;
    QString firstIpv4; // empty when the interface has no IPv4 address
};

// The address the BOOTP answer names as the server when the request's own interface is not
// known: the first Ethernet interface's first IPv4 address, else the last interface's;
// "0.0.0.0" for an interface without an address, empty without any interface.
QString LocalIpAddress();
QString ChooseLocalIpAddress(const std::vector<HostInterface>& interfaces);

// The interface a printer at ip is reached through: the one (up, not a loopback) whose IPv4
// network holds ip, else the one holding the address the kernel would send to ip from; empty
// when none does or ip is no IPv4 address.
QString InterfaceTowards(const QString& ip);

// The interface whose ARP table holds ip (an exact text match), from the text of
// /proc/net/arp; empty when no row matches.
QString ArpInterfaceFor(const QString& arpTable, const QString& ip);

// Makes the next packet to ip resolve the printer's MAC address afresh: flushes every
// neighbour entry of the interface that holds ip. Without the rights nothing happens.
void FlushArpFor(const QString& ip);

// How a TCP connection ended, still known after Qt has let go of it: Qt reports a reset and a
// plain close alike and closes its descriptor at once. A second descriptor of the socket keeps
// the kernel's state until asked.
class ConnectionEndWatch {
public:
    ConnectionEndWatch() = default;
    ConnectionEndWatch(const ConnectionEndWatch&) = delete;
    ConnectionEndWatch& operator=(const ConnectionEndWatch&) = delete;
    ~ConnectionEndWatch() { release(); }

    // Watches the connected socket (its descriptor); nothing when it cannot.
    void watch(qintptr socket);
    // Whether the peer reset the watched connection (it is closed, and neither side closed
    // it); false when nothing was watched. Lets go of the socket.
    bool endedByReset();
    // Lets go of the socket: before our own close, which would not end the connection while
    // the second descriptor holds it.
    void release();

private:
    int fd_ = -1;
};

} // namespace posflash
