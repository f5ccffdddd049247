#include "base/error.h"

#include <cstring>

namespace posflash {

Error SystemError(int errnoValue, const QString& context) {
    const QString system = QString::fromLocal8Bit(std::strerror(errnoValue));
    return {errnoValue, QStringLiteral("%1: %2").arg(context, system), system};
}

} // namespace posflash
