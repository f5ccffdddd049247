#include "report/report_names.h"

#include "report/report_document.h"
#include "report/report_figures.h"
#include "report/report_texts.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>

namespace posflash {
namespace {

QString startText(const QDateTime& at) {
    return at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString dateText(const QDate& d, bool withYear, bool english) {
    if (!english)
        return d.toString(withYear ? QStringLiteral("yyyy年M月d日") : QStringLiteral("M月d日"));
    return QLocale(QLocale::English)
        .toString(d, withYear ? QStringLiteral("d MMMM yyyy") : QStringLiteral("d MMMM"));
}

// A bound of the period: its date, with its time where it is not the day's start.
QString boundText(const QDateTime& at, bool english) {
    const QDateTime local = at.toLocalTime();
    const QString date = dateText(local.date(), true, english);
    return local.time() == QTime(0, 0)
               ? date
               : date + QLatin1Char(' ') + local.time().toString(QStringLiteral("HH:mm"));
}

// "1–7 December 2026": the days given, the until day being the last one taken in.
QString periodText(const HistoryFilter& filter, const ReportTexts& t) {
    const bool english = t.english();
    QDateTime until = filter.until;
    // A date alone ends at the next day's start; the period says the last day it holds.
    const bool wholeDays = until.isValid() && until.toLocalTime().time() == QTime(0, 0);
    if (wholeDays)
        until = until.addDays(-1);
    if (!filter.since.isValid())
        return until.isValid()
                   ? t.text(QT_TRANSLATE_NOOP("Report", "until %1")).arg(boundText(until, english))
                   : QString();
    if (!until.isValid())
        return t.text(QT_TRANSLATE_NOOP("Report", "from %1")).arg(boundText(filter.since, english));
    const QDate first = filter.since.toLocalTime().date();
    const QDate last = until.toLocalTime().date();
    const bool days = wholeDays && filter.since.toLocalTime().time() == QTime(0, 0);
    if (days && first == last)
        return dateText(first, true, english);
    if (days && english && first.year() == last.year())
        return first.month() == last.month()
                   ? QStringLiteral("%1–%2").arg(first.day()).arg(dateText(last, true, true))
                   : QStringLiteral("%1 – %2").arg(dateText(first, false, true),
                                                   dateText(last, true, true));
    return QStringLiteral("%1 – %2").arg(boundText(filter.since, english),
                                         days ? dateText(last, true, english)
                                              : boundText(filter.until, english));
}

} // namespace

QString ImageName(const ImageUnits& image) {
    const QString hash = image.sha256.isEmpty() ? QStringLiteral("-") : image.sha256;
    return image.fileName.isEmpty()
               ? QStringLiteral("%1 %2").arg(image.kind, hash.left(12))
               : QStringLiteral("%1 %2 (%3)").arg(image.kind, image.fileName, hash.left(8));
}

QString ShiftName(const GroupYield& g, const ReportTexts& t) {
    if (g.shift.isEmpty())
        return t.text(QT_TRANSLATE_NOOP("Report", "day %1")).arg(g.day);
    if (g.operatorName.isEmpty())
        return t.text(QT_TRANSLATE_NOOP("Report", "shift %1")).arg(startText(g.start));
    return t.text(QT_TRANSLATE_NOOP("Report", "shift %1, %2"))
        .arg(startText(g.start), g.operatorName);
}

QString FilterWords(const ReportSource& source, const ReportFigures& f, const ReportTexts& t) {
    const HistoryFilter& filter = source.filter;
    QStringList words;
    if (source.central)
        words << t.text(QT_TRANSLATE_NOOP("Report", "the line's records"));
    if (!filter.station.isEmpty())
        words << t.text(QT_TRANSLATE_NOOP("Report", "station %1")).arg(filter.station);
    if (!filter.shift.isEmpty()) {
        // The shift as its first unit at any station shows it.
        GroupYield shift{{}, filter.shift, {}, {}, {}, {}, {}};
        for (const GroupYield& g : f.groups)
            if (g.shift == filter.shift && (!shift.start.isValid() || g.start < shift.start))
                shift = g;
        words << (shift.start.isValid()
                      ? ShiftName(shift, t)
                      : t.text(QT_TRANSLATE_NOOP("Report", "shift %1")).arg(filter.shift.left(8)));
    }
    if (!filter.operatorName.isEmpty())
        words << t.text(QT_TRANSLATE_NOOP("Report", "operator %1")).arg(filter.operatorName);
    if (!filter.label.isEmpty())
        words << t.text(QT_TRANSLATE_NOOP("Report", "label %1")).arg(filter.label);
    if (!filter.sha256.isEmpty()) {
        const auto image = std::find_if(f.images.begin(), f.images.end(), [&](const ImageUnits& i) {
            return i.sha256 == filter.sha256;
        });
        words << (image != f.images.end() ? ImageName(*image)
                                          : QStringLiteral("%1").arg(filter.sha256.left(12)));
    }
    if (const QString period = periodText(filter, t); !period.isEmpty())
        words << period;
    return words.join(t.english() ? QStringLiteral(", ") : QStringLiteral("，"));
}

} // namespace posflash
