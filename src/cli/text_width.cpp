#include "cli/text_width.h"

#include <QList>

namespace posflash {

namespace {

int widthOf(char32_t c) {
    if (c == 0)
        return 0;
    // Combining marks and zero-width characters.
    if ((c >= 0x0300 && c <= 0x036F) || (c >= 0x200B && c <= 0x200F) ||
        (c >= 0xFE00 && c <= 0xFE0F) || (c >= 0x20D0 && c <= 0x20FF))
        return 0;
    const bool wide = (c >= 0x1100 && c <= 0x115F) ||   // Hangul Jamo initials
                      (c >= 0x2E80 && c <= 0x303E) ||   // CJK radicals, punctuation
                      (c >= 0x3041 && c <= 0x33FF) ||   // kana, CJK symbols
                      (c >= 0x3400 && c <= 0x4DBF) ||   // CJK extension A
                      (c >= 0x4E00 && c <= 0x9FFF) ||   // CJK unified ideographs
                      (c >= 0xA000 && c <= 0xA4CF) ||   // Yi
                      (c >= 0xAC00 && c <= 0xD7A3) ||   // Hangul syllables
                      (c >= 0xF900 && c <= 0xFAFF) ||   // CJK compatibility ideographs
                      (c >= 0xFE30 && c <= 0xFE4F) ||   // CJK compatibility forms
                      (c >= 0xFF00 && c <= 0xFF60) ||   // full-width forms
                      (c >= 0xFFE0 && c <= 0xFFE6) ||   // full-width signs
                      (c >= 0x1F300 && c <= 0x1F64F) || // pictographs, emoticons
                      (c >= 0x20000 && c <= 0x3FFFD);   // CJK extensions B and on
    return wide ? 2 : 1;
}

} // namespace

int DisplayWidth(const QString& text) {
    int width = 0;
    for (const char32_t c : text.toUcs4())
        width += widthOf(c);
    return width;
}

QString PadToWidth(const QString& text, int width) {
    const int used = DisplayWidth(text);
    return used >= width ? text : text + QString(width - used, QLatin1Char(' '));
}

QString CutToWidth(const QString& text, int columns) {
    QString cut;
    int width = 0;
    for (const char32_t c : text.toUcs4()) {
        const int w = widthOf(c);
        if (width + w >= columns)
            break;
        width += w;
        cut += QString::fromUcs4(&c, 1);
    }
    return cut;
}

} // namespace posflash
