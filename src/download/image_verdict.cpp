#include "download/image_verdict.h"

#include "download/download_texts.h"
#include "download/error_causes.h"
#include "protocol/frames.h"
#include "protocol/image_file.h"

#include <QCryptographicHash>

#include <openssl/evp.h>

namespace posflash {

// libcrypto's SHA-256 uses the processor's SHA instructions where there are any: hashing a
// 1 MiB image costs some 0.3 ms there, where Qt's portable code took most of a download's CPU.
QByteArray ImageSha256(const Bytes& image) {
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

int FrameDataSizeOf(ImageKind kind) {
    return kind == ImageKind::Font ? kFontFrameDataSize : kProgramFrameDataSize;
}

std::optional<ImageRefusal> JudgeImage(const Faces& faces, const Result<Bytes>& image,
                                       const QString& path, ImageKind kind) {
    const int frameDataSize = FrameDataSizeOf(kind);
    const QString text =
        texts::imageRefusal(faces, image, path, kind == ImageKind::Font, frameDataSize);
    if (text.isEmpty())
        return std::nullopt;
    Cause cause = Cause::BadTrailer;
    if (!image)
        cause = CauseOfError(image.error());
    else if (const ImageProblem problem = CheckImageFrameable(image->size(), frameDataSize);
             problem == ImageProblem::Empty)
        cause = Cause::EmptyImage;
    else if (problem == ImageProblem::TooManyFrames)
        cause = Cause::TooLarge;
    if (!image.ok())
        return ImageRefusal{cause, text, -1, {}};
    return ImageRefusal{cause, text, static_cast<qint64>(image->size()), ImageSha256(*image)};
}

std::optional<ImageRefusal> JudgeImageFile(const Faces& faces, const QString& path,
                                           ImageKind kind) {
    return JudgeImage(faces, LoadImageFile(path, MaxImageBytes(FrameDataSizeOf(kind))), path, kind);
}

} // namespace posflash
