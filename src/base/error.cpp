#include "base/error.h"

#include <cstring>

namespace posflash {

Error SystemError(int errnoValue, const QString& context) {
    return {errnoValue, QStringLiteral("%1: %2").arg(
                            context, QString::fromLocal8Bit(std::strerror(errnoValue)))};
}

} // namespace posflash
