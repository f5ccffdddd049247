#include "base/error.h"

#include <cstring>

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
    switch (domain) {
    case ErrorDomain::System:
        return "system";
    case ErrorDomain::Serial:
        return "serial";
    case ErrorDomain::Ports:
        return "ports";
    case ErrorDomain::Network:
        return "network";
    case ErrorDomain::Socket:
        return "socket";
    case ErrorDomain::Image:
        return "image";
    case ErrorDomain::Settings:
        return "settings";
    case ErrorDomain::History:
        return "history";
    case ErrorDomain::Records:
        return "records";
    case ErrorDomain::Input:
        return "input";
    case ErrorDomain::Recipe:
        return "recipe";
    case ErrorDomain::Unknown:
        break;
    }
    return "unknown";
}

} // namespace posflash
