#include "base/error.h"

#include <cstring>
#include <iterator>

namespace posflash {

Error SystemError(int errnoValue, const QString& context) {
    const QString system = QString::fromLocal8Bit(std::strerror(errnoValue));
    return {errnoValue, QStringLiteral("%1: %2").arg(context, system), system, ErrorDomain::System};
}

Error WithContext(Error error, const QString& context) {
    if (!context.isEmpty())
        error.text = error.text.isEmpty() ? context : context + QStringLiteral(": ") + error.text;
    return error;
}

const char* DomainName(ErrorDomain domain) {
    // In the enumeration's order.
    static constexpr const char* kNames[] = {"unknown", "system", "serial",   "ports",   "network",
                                             "socket",  "image",  "settings", "history", "records",
                                             "input",   "recipe", "inboot"};
    const auto index = static_cast<std::size_t>(domain);
    return index < std::size(kNames) ? kNames[index] : "unknown";
}

} // namespace posflash
