#include "cli/input_checks.h"

#include "history/text_forms.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posflash {

namespace {

// The raw argument Qt decoded into parsed: several raw arguments can decode alike only when
// bytes were replaced, and then none of them can be told from the others.
Result<QByteArray> rawOf(const QString& parsed, const std::vector<QByteArray>& raw) {
    std::optional<QByteArray> found;
    for (std::size_t i = 1; i < raw.size(); ++i) {
        if (QString::fromLocal8Bit(raw[i]) != parsed)
            continue;
        if (found && *found != raw[i])
            return Error{
                EINVAL, QStringLiteral("two arguments read as %1; name the file once").arg(parsed)};
        found = raw[i];
    }
    return found ? *found : QFile::encodeName(parsed);
}

} // namespace

Result<ImageArgument> ImageArgument::open(const QString& parsed,
                                          const std::vector<QByteArray>& rawArguments) {
    const Result<QByteArray> raw = nameOf(parsed, rawArguments);
    if (!raw)
        return raw.error();
    // A name's control characters would reach the terminal as escape sequences: shown escaped.
    const QString shown = EscapedName(*raw);
    const int fd = ::open(raw->constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return SystemError(errno, QStringLiteral("cannot open %1").arg(shown));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Error{EINVAL, QStringLiteral("%1 is not a regular file").arg(shown)};
    }
    if (IsUtf8(*raw)) {
        ::close(fd);
        return ImageArgument(parsed, *raw, -1);
    }
    return ImageArgument(QStringLiteral("/proc/self/fd/%1").arg(fd), *raw, fd);
}

Result<QByteArray> ImageArgument::nameOf(const QString& parsed,
                                         const std::vector<QByteArray>& rawArguments) {
    return rawOf(parsed, rawArguments);
}

ImageArgument::ImageArgument(ImageArgument&& other) noexcept
    : path_(std::move(other.path_)), name_(std::move(other.name_)),
      keptFd_(std::exchange(other.keptFd_, -1)) {}

ImageArgument::~ImageArgument() {
    if (keptFd_ >= 0)
        ::close(keptFd_);
}

} // namespace posflash
