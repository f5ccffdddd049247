#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace posflash {

// The system language kind: 0 not Chinese, 1 Simplified Chinese, 2 Traditional Chinese.
enum SystemLanguage : short { kNotChinese = 0, kSimplifiedChinese = 1, kTraditionalChinese = 2 };

// Mainland China and Singapore are Simplified; Taiwan and Hong Kong Traditional; every other
// region, Macao included, counts as not Chinese.
SystemLanguage GetSystemLanguage(const QLocale& locale);

// The clock fields of the bottom row: the time with seconds and without a time zone, and the
// short date, both in the locale's formats.
QString ClockTimeText(const QLocale& locale, const QTime& time);
QString ClockDateText(const QLocale& locale, const QDate& date);

} // namespace posflash
