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

namespace {

// The end of text that takes at most columns columns.
QString tailToWidth(const QString& text, int columns) {
    const QList<uint> all = text.toUcs4();
    QString tail;
    int width = 0;
    for (auto c = all.crbegin(); c != all.crend(); ++c) {
        const int w = widthOf(*c);
        if (width + w > columns)
            break;
        width += w;
        const char32_t code = *c;
        tail.prepend(QString::fromUcs4(&code, 1));
    }
    return tail;
}

} // namespace

namespace {

// A path in columns columns: its last part whole when it can, its head up to a '/'.
QString elidePath(const QString& path, int columns) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash);
    const int room = columns - 1 - DisplayWidth(name);
    if (slash < 0)
        return {};
    if (room < 0) // the end of the name tells a node or a file apart best
        return QStringLiteral("…") + tailToWidth(path, columns - 1);
    QString head = CutToWidth(path.left(slash), room + 1);
    if (const qsizetype end = head.lastIndexOf(QLatin1Char('/')); end >= 0)
        head.truncate(end + 1);
    return head + QStringLiteral("…") + name;
}

} // namespace

QString ElideMiddle(const QString& text, int columns) {
    const int over = DisplayWidth(text) - columns;
    if (over <= 0)
        return text;
    if (columns < 2)
        return CutToWidth(text, columns + 1);
    // The longest path among the words gives up its middle, the other words stay whole.
    QStringList words = text.split(QLatin1Char(' '));
    qsizetype longest = -1;
    for (qsizetype i = 0; i < words.size(); ++i)
        if (words[i].contains(QLatin1Char('/')) &&
            (longest < 0 || DisplayWidth(words[i]) > DisplayWidth(words[longest])))
            longest = i;
    if (longest >= 0) {
        const QString path = elidePath(words[longest], DisplayWidth(words[longest]) - over);
        if (!path.isEmpty()) {
            words[longest] = path;
            return words.join(QLatin1Char(' '));
        }
    }
    const int back = (columns - 1) / 2;
    return CutToWidth(text, columns - back) + QStringLiteral("…") + tailToWidth(text, back);
}

QStringList WrapToWidth(const QString& text, int columns) {
    QStringList lines;
    QString line;
    for (QString word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && DisplayWidth(line) + 1 + DisplayWidth(word) <= columns) {
            line += QLatin1Char(' ') + word;
            continue;
        }
        if (!line.isEmpty())
            lines << line;
        while (DisplayWidth(word) > columns && columns > 1) {
            const QString part = CutToWidth(word, columns + 1);
            lines << part;
            word = word.mid(part.size());
        }
        line = word;
    }
    if (!line.isEmpty() || lines.isEmpty())
        lines << line;
    return lines;
}

} // namespace posflash
