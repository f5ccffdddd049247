#include "download/loaded_image.h"

#include "download/image_verdict.h"
#include "protocol/image_file.h"

#include <QCryptographicHash>

#include <openssl/evp.h>

namespace posflash {

// libcrypto's SHA-256 uses the processor's SHA instructions where there are any: hashing a
// 1 MiB image costs some 0.3 ms there, where Qt's portable code took most of a download's CPU.
QByteArray ImageSha256(ByteView image) {
    QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    unsigned int size = 0;
    if (EVP_Digest(image.data(), image.size(), reinterpret_cast<unsigned char*>(digest.data()),
                   &size, EVP_sha256(), nullptr) != 1)
        // Never an empty digest in a record: Qt's own code, slower, when libcrypto fails.
        return QCryptographicHash::hash(QByteArrayView(reinterpret_cast<const char*>(image.data()),
                                                       static_cast<qsizetype>(image.size())),
                                        QCryptographicHash::Sha256);
    digest.resize(static_cast<qsizetype>(size));
    return digest;
}

Result<SharedImage> LoadImage(const QString& path, ImageKind kind, QByteArray name) {
    Result<Bytes> bytes = LoadImageFile(path, MaxImageBytes(FrameDataSizeOf(kind)));
    if (!bytes)
        return bytes.error();
    auto image = std::make_shared<LoadedImage>();
    image->sha256 = ImageSha256(*bytes);
    image->bytes = std::move(*bytes);
    image->kind = kind;
    image->path = path;
    image->name = std::move(name);
    return SharedImage(std::move(image));
}

} // namespace posflash
