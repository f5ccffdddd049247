#include "app/locale_rules.h"

namespace posflash {

SystemLanguage GetSystemLanguage(const QLocale& locale) {
    if (locale.language() != QLocale::Chinese)
        return kNotChinese;
    switch (locale.territory()) {
    case QLocale::China:
    case QLocale::Singapore:
        return kSimplifiedChinese;
    case QLocale::Taiwan:
    case QLocale::HongKong:
        return kTraditionalChinese;
    default:
        return kNotChinese;
    }
}

namespace {

// The locale's long time format minus its time-zone field. Qt 6.4 prints the day-period
// field "B" of some locales (zh_TW) literally; the AM/PM marker stands in for it.
QString clockTimeFormat(const QLocale& locale) {
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        if (!quoted && c == QLatin1Char('B')) {
            out += QStringLiteral("AP");
            continue;
        }
        out += c;
    }
    out.remove(QStringLiteral("[]"));
    return out.simplified();
}

} // namespace

QString ClockTimeText(const QLocale& locale, const QTime& time) {
    return locale.toString(time, clockTimeFormat(locale));
}

QString ClockDateText(const QLocale& locale, const QDate& date) {
    return locale.toString(date, QLocale::ShortFormat);
}

} // namespace posflash
