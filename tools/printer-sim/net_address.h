#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace posflash::sim {

// Addresses in wire order: "192.168.123.100" is C0 A8 7B 64.
using Ipv4 = std::array<std::uint8_t, 4>;
using Mac = std::array<std::uint8_t, 6>;

// Exactly four decimal parts 0 to 255 joined by "."; nothing else is an address.
std::optional<Ipv4> ParseIpv4(const QString& text);
// Exactly six pairs of hexadecimal digits joined by "-".
std::optional<Mac> ParseMac(const QString& text);

QString FormatIpv4(const Ipv4& ip);
// As one number, the first part in the highest byte.
inline std::uint32_t Ipv4Number(const Ipv4& ip) {
    return static_cast<std::uint32_t>(ip[0]) << 24 | static_cast<std::uint32_t>(ip[1]) << 16 |
           static_cast<std::uint32_t>(ip[2]) << 8 | ip[3];
}

} // namespace posflash::sim
