#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace posflash {

using Ipv4Bytes = std::array<std::uint8_t, 4>;
using MacBytes = std::array<std::uint8_t, 6>;

// Four decimal parts 0..255 joined by "."; anything else is refused.
std::optional<Ipv4Bytes> ParseIpv4Text(const QString& text);
// An address a printer may have: not 0.0.0.0/8 (this network), not a multicast address, not
// 255.255.255.255 (every host).
bool IsHostAddress(const Ipv4Bytes& ip);
// The address as one number, first part highest: what QHostAddress(quint32) takes. Build
// addresses from this, never from the text, which QHostAddress reads with octal parts.
std::uint32_t Ipv4Number(const Ipv4Bytes& ip);
// Six two-digit hexadecimal parts joined by "-"; anything else is refused.
std::optional<MacBytes> ParseMacText(const QString& text);

// The bare file name of the firmware path, in the local 8-bit encoding.
QByteArray BootFileNameOf(const QString& firmwarePath);

// The decimal values of the bytes joined by ".": C0 A8 7B 64 gives "192.168.123.100".
QString BytesToDottedIp(const std::uint8_t* bytes, int count);

} // namespace posflash
