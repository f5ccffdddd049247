#pragma once

namespace posflash {

// What an image is to the printer: its firmware program or a font. Every layer says it with this
// one enum; the frames turn it into their kind byte.
enum class ImageKind { Program, Font };

// The front ends' font switch (a check box, --font, line.ini's font) as the kind it asks for.
constexpr ImageKind ImageKindOf(bool font) {
    return font ? ImageKind::Font : ImageKind::Program;
}

} // namespace posflash
