#include "cli/report_output.h"

#include <cerrno>
#include <unistd.h>

namespace posflash {

bool WriteReport(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    qsizetype written = 0;
    while (written < bytes.size()) {
        // Standard output's own descriptor stays blocking; the download's writer uses another.
        const ssize_t n = ::write(STDOUT_FILENO, bytes.constData() + written,
                                  static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        written += n;
    }
    return true;
}

QString Column(const QString& text, int width) {
    return text.leftJustified(width, QLatin1Char(' '), false);
}

} // namespace posflash
