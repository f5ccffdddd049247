#include "ports/usb_instance_id.h"

#include <algorithm>

namespace posflash {
namespace {

bool isHexId(const QString& id) {
    const auto isHex = [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
               (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ||
               (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
    };
    return id.size() == 4 && std::all_of(id.begin(), id.end(), isHex);
}

// Printable ASCII without blanks or backslashes: the identifier's separator must stay unique.
bool isIdentifierPart(const QString& part, int maxChars) {
    const auto usable = [](QChar c) {
        return c.unicode() > 0x20 && c.unicode() < 0x7F && c != QLatin1Char('\\');
    };
    return !part.isEmpty() && part.size() <= maxChars &&
           std::all_of(part.begin(), part.end(), usable);
}

} // namespace

std::optional<QString> UsbInstanceId(const QString& vendorId, const QString& productId,
                                     const QString& serial, const QString& busPath) {
    if (!isHexId(vendorId) || !isHexId(productId))
        return std::nullopt;
    QString last;
    if (isIdentifierPart(serial, kUsbSerialMaxChars))
        last = serial;
    else if (isIdentifierPart(busPath, kUsbSerialMaxChars))
        last = busPath;
    else
        return std::nullopt;
    return QStringLiteral("USB\\VID_%1&PID_%2\\%3")
        .arg(vendorId.toUpper(), productId.toUpper(), last);
}

} // namespace posflash
