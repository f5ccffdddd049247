#include "report/printable_text.h"

namespace posflash {

QString PrintableText(const QString& text) {
    QString out = text;
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u < 0x20)
            c = QChar(char16_t(0x2400 + u));
        else if (u == 0x7F)
            c = QChar(char16_t(0x2421));
        else if ((u >= 0x80 && u < 0xA0) || u == 0xFFFE || u == 0xFFFF)
            c = QChar(QChar::ReplacementCharacter);
    }
    return out;
}

QString PrintableCause(const QString& cause) {
    QString out = PrintableText(cause);
    for (QChar& c : out)
        if (c.isSpace())
            c = QChar(char16_t(0x2423));
    return out;
}

void MakePrintable(std::vector<ReportUnit>& units) {
    for (ReportUnit& u : units) {
        for (QString* text : {&u.unit, &u.station, &u.shift, &u.operatorName, &u.label, &u.sha256,
                              &u.fileName, &u.kind, &u.port, &u.mode})
            *text = PrintableText(*text);
        u.lastCause = PrintableCause(u.lastCause);
        for (QString& cause : u.failureCauses)
            cause = PrintableCause(cause);
    }
}

} // namespace posflash
