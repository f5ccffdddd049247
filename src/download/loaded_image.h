#pragma once

#include "base/bytes.h"
#include "base/error.h"
#include "base/image_kind.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace posflash {

// An image as read for downloads: its bytes and their SHA-256, taken once, then shared by the
// recipe's check, the records and every printer's run, so that all of them judge and send the
// same bytes whatever happens to the file afterwards.
struct LoadedImage {
    Bytes bytes;
    QByteArray sha256; // of bytes, 32 bytes
    ImageKind kind = ImageKind::Program;
    QString path;
    // The name the user gave, as bytes, when path stands in for it (a name that is no UTF-8,
    // opened as /proc/self/fd/N); the history records this one.
    QByteArray name;
};

using SharedImage = std::shared_ptr<const LoadedImage>;

// The SHA-256 of an image's bytes (32 bytes).
QByteArray ImageSha256(ByteView image);

// Reads the file once, within what a download of kind can carry (a FIFO, a device or a file too
// large is refused unread), and hashes it. Judging the bytes is JudgeImage's.
Result<SharedImage> LoadImage(const QString& path, ImageKind kind, QByteArray name = {});

} // namespace posflash
