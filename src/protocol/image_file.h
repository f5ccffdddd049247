#pragma once

#include "base/bytes.h"

#include <QString>

#include <cstddef>

namespace posflash {

enum class ImageLoadError { None, NotAFile, CannotOpen, ReadFailed, TooLarge };

struct LoadedImage {
    Bytes bytes;
    ImageLoadError error = ImageLoadError::None;
    bool ok() const { return error == ImageLoadError::None; }
};

// Reads the whole file into one buffer. Only regular files are read: a FIFO, a device node or
// a socket would block or never end. A file larger than maxBytes is refused before anything is
// read or allocated. Failures are reported, never thrown.
LoadedImage LoadImageFile(const QString& path, std::size_t maxBytes);

// The most image bytes a download can carry in frames of frameDataSize bytes.
std::size_t MaxImageBytes(int frameDataSize);

// True when the file's last 4 bytes hold the little-endian 32-bit sum of the bytes before them.
// Files shorter than 4 bytes, too large for a program download, or unreadable are not valid.
bool CheckBinFileValid(const QString& path);
bool CheckBinImageValid(ByteView image);

} // namespace posflash
