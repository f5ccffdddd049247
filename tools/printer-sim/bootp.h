#pragma once

#include "printer-sim/net_address.h"
#include "printer-sim/wire.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace posflash::sim {

// A BOOTP message (RFC 951) behind the frame prefix: every field sits 4 bytes later than in
// the RFC.
inline constexpr std::size_t kOpAt = 4;
inline constexpr std::size_t kHtypeAt = 5;
inline constexpr std::size_t kHlenAt = 6;
inline constexpr std::size_t kHopsAt = 7;
inline constexpr std::size_t kXidAt = 8;
inline constexpr std::size_t kSecsAt = 12;
inline constexpr std::size_t kFlagsAt = 14;
inline constexpr std::size_t kCiaddrAt = 16;
inline constexpr std::size_t kYiaddrAt = 20;
inline constexpr std::size_t kSiaddrAt = 24;
inline constexpr std::size_t kGiaddrAt = 28;
inline constexpr std::size_t kChaddrAt = 32;
inline constexpr std::size_t kSnameAt = 48;
inline constexpr std::size_t kFileAt = 112;
inline constexpr std::size_t kVendAt = 240;

inline constexpr std::size_t kChaddrSize = 16;
inline constexpr std::size_t kSnameSize = 64;
inline constexpr std::size_t kFileSize = 128;
inline constexpr std::size_t kVendSize = 64;
inline constexpr std::size_t kBootpRequestSize = kVendAt + kVendSize; // 304
// One datagram in one Ethernet frame.
inline constexpr std::size_t kLargestBootpSize = 1472;

inline constexpr std::uint8_t kBootRequest = 1;
inline constexpr std::uint8_t kBootReply = 2;
inline constexpr std::uint8_t kEthernet = 1;
inline constexpr std::uint8_t kEthernetAddressLength = 6;
// The printer has no address yet, so it asks for a broadcast answer.
inline constexpr std::uint16_t kBroadcastFlag = 0x8000;

inline constexpr const char* kDefaultBrand = "V-ORBIT";

struct BootpRequest {
    Mac mac{};
    std::uint32_t xid = 0;
    std::uint16_t secs = 0;
    QByteArray brand = kDefaultBrand; // a 64-byte word fills sname with no terminator
    std::size_t length = kBootpRequestSize;
};

// The printer's request; a length other than 304 cuts the message short or pads the vend area
// with zeros.
Bytes BuildBootpRequest(const BootpRequest& request);

struct BootpVerdict {
    // The printer takes the reply as its own and knows where to send its link datagram: frame
    // prefix, op 2, its xid and MAC echoed, a plausible siaddr. Other deviations are errors
    // but do not stop it.
    bool accepted = false;
    QStringList errors;
    std::optional<Ipv4> serverIp;
    std::optional<QString> bootFile;
};

// Judges a datagram that arrived on port 68 against the request it answers. Reads nothing
// outside either array, whatever their lengths.
BootpVerdict CheckBootpReply(ByteView request, ByteView reply, const Ipv4& printerIp);

// An address a host can have and the printer can send to: not "this network" (0/8), not
// multicast or reserved (224/3), and not the printer's own.
bool IsPlausibleHostAddress(const Ipv4& ip, const Ipv4& printerIp);

} // namespace posflash::sim
