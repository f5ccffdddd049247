#include "base/settings_file_read.h"
#include "base/unique_fd.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posflash {
namespace {

using Kind = SettingsFileContents::Reading;

SettingsFileContents refused(Error why) {
    return {Kind::Refused, {}, std::move(why)};
}

Error cannotRead(const QString& path) {
    return SystemError(errno, QStringLiteral("Cannot read %1").arg(path));
}

// Why a file of this kind is not read, or empty for a regular file.
QString kindProblem(const QString& path, const struct stat& st) {
    if (S_ISREG(st.st_mode))
        return {};
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("%1 is a folder, not a settings file").arg(path);
    return QStringLiteral("%1 is not a regular file").arg(path);
}

QString tooLarge(const QString& path, qint64 maxBytes) {
    return QStringLiteral("%1 is larger than %2 bytes; not a settings file")
        .arg(path)
        .arg(maxBytes);
}

} // namespace

SettingsFileContents ReadSettingsFile(const QString& path, qint64 maxBytes) {
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return {};
    // Looked at before opening, so a device node is never opened at all (opening a serial
    // port alone changes its modem lines).
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        return refused(cannotRead(path));
    }
    if (QString problem = kindProblem(path, st); !problem.isEmpty())
        return refused({EINVAL, problem});

    // The file may be swapped for a FIFO between the look and the open: a non-blocking open
    // returns at once whatever it finds, and the kind is checked again on what was opened.
    const UniqueFd fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT)
            return {};
        return refused(cannotRead(path));
    }
    if (::fstat(fd.get(), &st) != 0)
        return refused(cannotRead(path));
    if (QString problem = kindProblem(path, st); !problem.isEmpty())
        return refused({EINVAL, problem});
    if (st.st_size > maxBytes)
        return refused({EFBIG, tooLarge(path, maxBytes)});

    // The size is only a hint: the file may grow while it is read, so reading stops one byte
    // past the cap.
    QByteArray bytes(static_cast<qsizetype>(std::min<qint64>(st.st_size, maxBytes) + 1),
                     Qt::Uninitialized);
    qsizetype done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (done > maxBytes)
                return refused({EFBIG, tooLarge(path, maxBytes)});
            bytes.resize(std::min<qsizetype>(bytes.size() * 2, maxBytes + 1));
        }
        const ssize_t got =
            ::read(fd.get(), bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return refused(cannotRead(path));
        if (got == 0)
            break;
        done += got;
    }
    bytes.truncate(done);
    return {Kind::Read, std::move(bytes), {}};
}

} // namespace posflash
