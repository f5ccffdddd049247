#pragma once

#include <QString>

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

// The interface whose ARP table holds ip (an exact text match), from the text of
// /proc/net/arp; empty when no row matches.
QString ArpInterfaceFor(const QString& arpTable, const QString& ip);

// Makes the next packet to ip resolve the printer's MAC address afresh: flushes every
// neighbour entry of the interface that holds ip. Without the rights nothing happens.
void FlushArpFor(const QString& ip);

} // namespace posflash
