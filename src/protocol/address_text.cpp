#include "protocol/address_text.h"

#include <QRegularExpression>
#include <QStringList>

namespace posflash {

// "\z", not "$": "$" also matches before a final line break.
std::optional<Ipv4Bytes> ParseIpv4Text(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\z"));
    const auto match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    Ipv4Bytes bytes{};
    for (int i = 0; i < 4; ++i) {
        const int part = match.captured(i + 1).toInt();
        if (part > 255)
            return std::nullopt;
        bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(part);
    }
    return bytes;
}

bool IsHostAddress(const Ipv4Bytes& ip) {
    const bool everyHost = ip == Ipv4Bytes{255, 255, 255, 255};
    return ip[0] != 0 && !(ip[0] >= 224 && ip[0] <= 239) && !everyHost;
}

std::uint32_t Ipv4Number(const Ipv4Bytes& ip) {
    return std::uint32_t{ip[0]} << 24 | std::uint32_t{ip[1]} << 16 | std::uint32_t{ip[2]} << 8 |
           ip[3];
}

std::optional<MacBytes> ParseMacText(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^([0-9A-Fa-f]{2})-([0-9A-Fa-f]{2})-([0-9A-Fa-f]{2})-([0-9A-Fa-f]{2})-"
                       "([0-9A-Fa-f]{2})-([0-9A-Fa-f]{2})\\z"));
    const auto match = form.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    MacBytes bytes{};
    for (int i = 0; i < 6; ++i)
        bytes[static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(match.captured(i + 1).toUInt(nullptr, 16));
    return bytes;
}

QByteArray BootFileNameOf(const QString& firmwarePath) {
    // Paths typed on another system may use backslashes; the printer wants the bare name.
    QString name = firmwarePath;
    const auto cut =
        std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    if (cut >= 0)
        name = name.mid(cut + 1);
    return name.toLocal8Bit();
}

QString BytesToDottedIp(const std::uint8_t* bytes, int count) {
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts << QString::number(bytes[i]);
    return parts.join(QLatin1Char('.'));
}

} // namespace posflash
