#pragma once

#include "download/bytes.h"

#include <QString>

#include <optional>

namespace posflash {

enum class ImageLoadError { None, NotAFile, CannotOpen, ReadFailed };

struct LoadedImage {
    Bytes bytes;
    ImageLoadError error = ImageLoadError::None;
    bool ok() const { return error == ImageLoadError::None; }
};

// Reads the whole file into one buffer. Missing paths, directories and unreadable files are
// reported, never thrown.
LoadedImage LoadImageFile(const QString& path);

// True when the file's last 4 bytes hold the little-endian 32-bit sum of the bytes before them.
// Files shorter than 4 bytes, and paths that cannot be read, are not valid.
bool CheckBinFileValid(const QString& path);
bool CheckBinImageValid(ByteView image);

} // namespace posflash
