#include "protocol/image_file.h"
#include "base/unique_fd.h"

#include "protocol/checksums.h"
#include "protocol/frames.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posflash {

namespace {

Error imageError(int code, const QString& path, const char* what, int errnoValue = 0) {
    return Error{code, QStringLiteral("%1: %2").arg(path, QLatin1String(what)),
                 errnoValue ? QString::fromLocal8Bit(::strerror(errnoValue)) : QString(),
                 ErrorDomain::Image};
}

} // namespace

std::size_t MaxImageBytes(int frameDataSize) {
    return static_cast<std::size_t>(frame::kMaxDataFrames) *
           static_cast<std::size_t>(frameDataSize > 0 ? frameDataSize : 0);
}

Result<Bytes> LoadImageFile(const QString& path, std::size_t maxBytes) {
    if (path.isEmpty())
        return imageError(image_error::kNotAFile, path, "no file named");
    // O_NONBLOCK: opening a FIFO must not wait for a writer; the type is checked on the open
    // descriptor, so a path swapped after a check cannot slip through.
    const QByteArray native = QFile::encodeName(path);
    UniqueFd fd(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        const int why = errno;
        if (why == ENOENT || why == ENOTDIR)
            return imageError(image_error::kNotAFile, path, "no such file", why);
        return imageError(image_error::kCannotOpen, path, "cannot open", why);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return imageError(image_error::kCannotOpen, path, "cannot open", errno);
    if (!S_ISREG(info.st_mode))
        return imageError(image_error::kNotAFile, path, "not a regular file");
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes)
        return imageError(image_error::kTooLarge, path, "too large for a download");
    // Sized from the file, read in place: one copy of the image, no growth reallocations.
    Bytes bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return imageError(image_error::kReadFailed, path, "cannot read", errno);
        if (got == 0)
            break; // the file shrank while we read it
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

bool CheckBinImageValid(ByteView image) {
    if (image.size() < 4)
        return false;
    const std::size_t body = image.size() - 4;
    return getU32(image, body) == GetSum(image.first(body));
}

bool CheckBinFileValid(const QString& path) {
    const Result<Bytes> image = LoadImageFile(path, MaxImageBytes(kProgramFrameDataSize));
    return image.ok() && CheckBinImageValid(*image);
}

} // namespace posflash
