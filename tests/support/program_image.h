#pragma once

#include "base/bytes.h"
#include "protocol/checksums.h"
#include "support/test_files.h"

#include <QString>

namespace posflash::testing {

// Writes a program image of n bytes, the last four the sum of the others; returns its bytes.
inline Bytes WriteProgramImage(const QString& path, std::size_t n) {
    Bytes image(n);
    for (std::size_t i = 0; i + 4 < n; ++i)
        image[i] = static_cast<std::uint8_t>((i * 37 + i / 251) & 0xFF);
    if (n >= 4)
        putU32(image, n - 4, GetSum(ByteView(image).first(n - 4)));
    WriteFile(path,
              QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(n)));
    return image;
}

} // namespace posflash::testing
