#include "protocol/image_file.h"
#include "base/unique_fd.h"

#include "protocol/checksums.h"
#include "protocol/frames.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posflash {

namespace {} // namespace

std::size_t MaxImageBytes(int frameDataSize) {
    return static_cast<std::size_t>(frame::kMaxDataFrames) *
           static_cast<std::size_t>(frameDataSize > 0 ? frameDataSize : 0);
}

LoadedImage LoadImageFile(const QString& path, std::size_t maxBytes) {
    LoadedImage result;
    if (path.isEmpty()) {
        result.error = ImageLoadError::NotAFile;
        return result;
    }
    // O_NONBLOCK: opening a FIFO must not wait for a writer; the type is checked on the open
    // descriptor, so a path swapped after a check cannot slip through.
    const QByteArray native = QFile::encodeName(path);
    UniqueFd fd(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0) {
        result.error = errno == ENOENT || errno == ENOTDIR ? ImageLoadError::NotAFile
                                                           : ImageLoadError::CannotOpen;
        return result;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        result.error = ImageLoadError::CannotOpen;
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.error = ImageLoadError::NotAFile;
        return result;
    }
    if (static_cast<std::uint64_t>(info.st_size) > maxBytes) {
        result.error = ImageLoadError::TooLarge;
        return result;
    }
    // Sized from the file, read in place: one copy of the image, no growth reallocations.
    result.bytes.resize(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < result.bytes.size()) {
        const ssize_t got =
            ::read(fd.get(), result.bytes.data() + done, result.bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result.bytes.clear();
            result.error = ImageLoadError::ReadFailed;
            return result;
        }
        if (got == 0)
            break; // the file shrank while we read it
        done += static_cast<std::size_t>(got);
    }
    result.bytes.resize(done);
    return result;
}

bool CheckBinImageValid(ByteView image) {
    if (image.size() < 4)
        return false;
    const std::size_t body = image.size() - 4;
    return getU32(image, body) == GetSum(image.first(body));
}

bool CheckBinFileValid(const QString& path) {
    const LoadedImage image = LoadImageFile(path, MaxImageBytes(kProgramFrameDataSize));
    return image.ok() && CheckBinImageValid(image.bytes);
}

} // namespace posflash
