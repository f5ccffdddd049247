#pragma once

// Frames as a correct tool sends them, built apart from the simulator that checks them.

#include "printer-sim/wire.h"

#include <algorithm>
#include <string>

namespace posflash::sim::testing {

inline void putLE(Bytes& f, std::size_t at, std::size_t value, int size) {
    for (int i = 0; i < size; ++i)
        f[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

inline Bytes header(std::uint8_t kind, std::uint8_t command, std::size_t length,
                    std::uint16_t frameSum) {
    Bytes f(11 + length, 0);
    f[0] = 0x1F, f[1] = 0x1B, f[2] = 0x1C, f[3] = 0x06, f[4] = 0x03, f[5] = kind, f[6] = command;
    putLE(f, 7, length, 2);
    putLE(f, 9, frameSum, 2);
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
    putLE(f, 11, image.size(), 4);
    putLE(f, 15, Crc16Xmodem(image), 2);
    const std::string stamp = "261206235959";
    std::copy(stamp.begin(), stamp.end(), f.begin() + 27);
    for (std::size_t i = 0; i < 512; ++i)
        f[43 + i] = static_cast<std::uint8_t>(1 + i % 255);
    return f;
}

inline std::size_t sliceOfKind(std::uint8_t kind) {
    return kind == 0x81 ? 1024 : 512;
}

inline std::size_t frameCount(std::uint8_t kind, const Bytes& image) {
    return (image.size() + sliceOfKind(kind) - 1) / sliceOfKind(kind);
}

inline Bytes dataFrame(std::uint8_t kind, const Bytes& image, std::size_t k) {
    const std::size_t offset = (k - 1) * sliceOfKind(kind);
    const auto from = image.begin() + static_cast<std::ptrdiff_t>(offset);
    const auto to =
        from + static_cast<std::ptrdiff_t>(std::min(sliceOfKind(kind), image.size() - offset));
    unsigned sum = 0;
    std::for_each(from, to, [&](std::uint8_t b) { sum += b; });
    Bytes f = header(kind, 0x54, static_cast<std::size_t>(to - from) + 6, sum & 0xFFFF);
    putLE(f, 11, k, 2);
    putLE(f, 13, offset, 4);
    std::copy(from, to, f.begin() + 17);
    return f;
}

// End (0x51) or final (0x56) frame: FrameSum of the image's last data frame.
inline Bytes closingFrame(std::uint8_t kind, std::uint8_t command, const Bytes& image) {
    const Bytes last = dataFrame(kind, image, frameCount(kind, image));
    return header(kind, command, 0, static_cast<std::uint16_t>(last[9] | (last[10] << 8)));
}

inline Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace posflash::sim::testing
