#pragma once

#include "base/bytes.h"
#include "base/error.h"

#include <QString>

#include <cstddef>

namespace posflash {

// The Image domain's codes: why a file could not be read as an image.
namespace image_error {
inline constexpr int kNotAFile = 1; // missing, or a directory, FIFO, device node or socket
inline constexpr int kCannotOpen = 2;
inline constexpr int kReadFailed = 3;
inline constexpr int kTooLarge = 4;
} // namespace image_error

// Reads the whole file into one buffer. Only regular files are read: a FIFO, a device node or
// a socket would block or never end. A file larger than maxBytes is refused before anything is
// read or allocated. Failures are returned, never thrown.
Result<Bytes> LoadImageFile(const QString& path, std::size_t maxBytes);

// The most image bytes a download can carry in frames of frameDataSize bytes.
std::size_t MaxImageBytes(int frameDataSize);

// True when the file's last 4 bytes hold the little-endian 32-bit sum of the bytes before them.
// Files shorter than 4 bytes, too large for a program download, or unreadable are not valid.
bool CheckBinFileValid(const QString& path);
bool CheckBinImageValid(ByteView image);

} // namespace posflash
