#pragma once

// Frames as a correct tool sends them, built here so the tests state the wire format
// themselves instead of trusting the simulator to agree with itself.

#include "printer-sim/wire.h"

#include <algorithm>
#include <string>

namespace posflash::sim::testing {

inline Bytes header(std::uint8_t kind, std::uint8_t command, std::size_t length,
                    std::uint16_t frameSum) {
    Bytes f{0x1F, 0x1B, 0x1C, 0x06, 0x03, kind, command,
            static_cast<std::uint8_t>(length & 0xFF), static_cast<std::uint8_t>(length >> 8),
            static_cast<std::uint8_t>(frameSum & 0xFF), static_cast<std::uint8_t>(frameSum >> 8)};
    f.resize(11 + length, 0);
    return f;
}

inline Bytes patternImage(std::size_t n) {
    Bytes image(n);
    for (std::size_t i = 0; i < n; ++i)
        image[i] = static_cast<std::uint8_t>((i * 7 + 3) & 0xFF);
    return image;
}

inline Bytes startFrame(std::uint8_t kind, const Bytes& image) {
    Bytes f = header(kind, 0x50, 544, 0);
    for (int i = 0; i < 4; ++i)
        f[11 + i] = static_cast<std::uint8_t>(image.size() >> (8 * i));
    const std::uint16_t crc = Crc16Xmodem(image);
    f[15] = static_cast<std::uint8_t>(crc & 0xFF);
    f[16] = static_cast<std::uint8_t>(crc >> 8);
    const std::string stamp = "261206235959";
    std::copy(stamp.begin(), stamp.end(), f.begin() + 27);
    for (std::size_t i = 0; i < 512; ++i)
        f[43 + i] = static_cast<std::uint8_t>(1 + i % 255);
    return f;
}

inline std::size_t sliceOfKind(std::uint8_t kind) { return kind == 0x81 ? 1024 : 512; }

inline std::uint16_t sumOf(const Bytes& image, std::size_t from, std::size_t n) {
    unsigned sum = 0;
    for (std::size_t i = from; i < from + n; ++i)
        sum += image[i];
    return static_cast<std::uint16_t>(sum & 0xFFFF);
}

inline Bytes dataFrame(std::uint8_t kind, const Bytes& image, std::size_t k) {
    const std::size_t slice = sliceOfKind(kind);
    const std::size_t offset = (k - 1) * slice;
    const std::size_t n = std::min(slice, image.size() - offset);
    Bytes f = header(kind, 0x54, n + 6, sumOf(image, offset, n));
    f[11] = static_cast<std::uint8_t>(k & 0xFF);
    f[12] = static_cast<std::uint8_t>(k >> 8);
    for (int i = 0; i < 4; ++i)
        f[13 + i] = static_cast<std::uint8_t>(offset >> (8 * i));
    std::copy(image.begin() + static_cast<std::ptrdiff_t>(offset),
              image.begin() + static_cast<std::ptrdiff_t>(offset + n), f.begin() + 17);
    return f;
}

inline std::size_t frameCount(std::uint8_t kind, const Bytes& image) {
    return (image.size() + sliceOfKind(kind) - 1) / sliceOfKind(kind);
}

// End (0x51) or final (0x56) frame after the given image's last data frame.
inline Bytes closingFrame(std::uint8_t kind, std::uint8_t command, const Bytes& image) {
    const std::size_t slice = sliceOfKind(kind);
    const std::size_t last = (frameCount(kind, image) - 1) * slice;
    return header(kind, command, 0, sumOf(image, last, image.size() - last));
}

inline Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace posflash::sim::testing
