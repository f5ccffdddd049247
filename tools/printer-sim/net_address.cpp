#include "printer-sim/net_address.h"

#include <QStringList>

namespace posflash::sim {

namespace {

bool allOf(const QString& text, bool (*accepted)(char16_t)) {
    for (const QChar c : text)
        if (!accepted(c.unicode()))
            return false;
    return true;
}

bool isDecimal(char16_t c) {
    return c >= u'0' && c <= u'9';
}

bool isHex(char16_t c) {
    return isDecimal(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

} // namespace

std::optional<Ipv4> ParseIpv4(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    Ipv4 ip{};
    for (std::size_t i = 0; i < ip.size(); ++i) {
        const QString& part = parts[static_cast<qsizetype>(i)];
        if (part.isEmpty() || part.size() > 3 || !allOf(part, isDecimal))
            return std::nullopt;
        const unsigned value = part.toUInt();
        if (value > 255)
            return std::nullopt;
        ip[i] = static_cast<std::uint8_t>(value);
    }
    return ip;
}

std::optional<Mac> ParseMac(const QString& text) {
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() != 6)
        return std::nullopt;
    Mac mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        const QString& part = parts[static_cast<qsizetype>(i)];
        if (part.size() != 2 || !allOf(part, isHex))
            return std::nullopt;
        mac[i] = static_cast<std::uint8_t>(part.toUInt(nullptr, 16));
    }
    return mac;
}

QString FormatIpv4(const Ipv4& ip) {
    return QStringLiteral("%1.%2.%3.%4").arg(ip[0]).arg(ip[1]).arg(ip[2]).arg(ip[3]);
}

} // namespace posflash::sim
