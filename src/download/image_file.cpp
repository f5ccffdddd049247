#include "download/image_file.h"

#include "download/checksums.h"

#include <QFile>
#include <QFileInfo>

namespace posflash {

LoadedImage LoadImageFile(const QString& path) {
    LoadedImage result;
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) {
        result.error = ImageLoadError::NotAFile;
        return result;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = ImageLoadError::CannotOpen;
        return result;
    }
    // Sized from the file, read in place: one copy of the image, no growth reallocations.
    result.bytes.resize(static_cast<std::size_t>(file.size()));
    qint64 done = 0;
    const auto want = static_cast<qint64>(result.bytes.size());
    while (done < want) {
        const qint64 got =
            file.read(reinterpret_cast<char*>(result.bytes.data()) + done, want - done);
        if (got < 0) {
            result.bytes.clear();
            result.error = ImageLoadError::ReadFailed;
            return result;
        }
        if (got == 0)
            break; // the file shrank while we read it
        done += got;
    }
    result.bytes.resize(static_cast<std::size_t>(done));
    return result;
}

bool CheckBinImageValid(ByteView image) {
    if (image.size() < 4)
        return false;
    const std::size_t body = image.size() - 4;
    return getU32(image, body) == GetSum(image.first(body));
}

bool CheckBinFileValid(const QString& path) {
    const LoadedImage image = LoadImageFile(path);
    return image.ok() && CheckBinImageValid(image.bytes);
}

} // namespace posflash
