#include "history/text_forms.h"

namespace posflash {
namespace {

// The length of the UTF-8 sequence that starts at i, or 0 when the bytes there are none.
qsizetype utf8Length(const QByteArray& bytes, qsizetype i) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    const qsizetype n = lead < 0x80             ? 1
                        : (lead & 0xE0) == 0xC0 ? 2
                        : (lead & 0xF0) == 0xE0 ? 3
                        : (lead & 0xF8) == 0xF0 ? 4
                                                : 0;
    if (n <= 1 || i + n > bytes.size())
        return n == 1 ? 1 : 0;
    return IsUtf8(bytes.mid(i, n)) ? n : 0;
}

QString hexEscape(unsigned char byte) {
    return QStringLiteral("\\x") +
           QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}

} // namespace

bool IsUtf8(const QByteArray& bytes) {
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

QJsonValue TextOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QString EscapedName(const QByteArray& name) {
    QString text;
    for (qsizetype i = 0; i < name.size();) {
        const qsizetype n = utf8Length(name, i);
        const auto byte = static_cast<unsigned char>(name[i]);
        if (n == 0) {
            text += hexEscape(byte);
            ++i;
            continue;
        }
        const QString character = QString::fromUtf8(name.mid(i, n));
        i += n;
        if (character == QLatin1String("\\"))
            text += QStringLiteral("\\\\");
        else if (character == QLatin1String("\n"))
            text += QStringLiteral("\\n");
        else if (character == QLatin1String("\t"))
            text += QStringLiteral("\\t");
        else if (character == QLatin1String("\r"))
            text += QStringLiteral("\\r");
        else if (character.size() == 1 && character[0].category() == QChar::Other_Control)
            // C0 and C1 controls, DEL: their UTF-8 bytes.
            for (const char b : name.mid(i - n, n))
                text += hexEscape(static_cast<unsigned char>(b));
        else
            text += character;
    }
    return text;
}

std::optional<QByteArray> UnescapedName(const QString& text) {
    QByteArray bytes;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A run without escapes at once: a surrogate pair stays whole.
        const qsizetype escape = text.indexOf(QLatin1Char('\\'), i);
        const qsizetype end = escape < 0 ? text.size() : escape;
        bytes += QStringView(text).mid(i, end - i).toUtf8();
        if (escape < 0)
            break;
        i = end + 1;
        const QChar next = i < text.size() ? text[i] : QChar();
        if (next == QLatin1Char('\\'))
            bytes += '\\';
        else if (next == QLatin1Char('n'))
            bytes += '\n';
        else if (next == QLatin1Char('t'))
            bytes += '\t';
        else if (next == QLatin1Char('r'))
            bytes += '\r';
        else if (next == QLatin1Char('x') && i + 2 < text.size()) {
            bool hex = false;
            const uint byte = text.mid(i + 1, 2).toUInt(&hex, 16);
            if (!hex)
                return std::nullopt;
            bytes += static_cast<char>(byte);
            i += 2;
        } else
            return std::nullopt;
    }
    return bytes;
}

} // namespace posflash
