#include "report/report_texts.h"

#include "base/faces.h"

#include <QCoreApplication>

namespace posflash {

QString ReportTexts::text(const char* english) const {
    return faces_.text("Report", english);
}

bool ReportTexts::english() const {
    return faces_.UseEnglish();
}

QString ReportTexts::causeWords(const QString& code) const {
    const std::optional<Cause> cause = CauseFromName(code);
    if (!cause)
        return code == QLatin1String("-") ? text(QT_TRANSLATE_NOOP("Report", "no cause recorded"))
                                          : code;
    // The download's own words name the frame and the attempts of one run; over many units
    // the report says what the cause is.
    switch (*cause) {
    case Cause::PrinterSilent:
        return text(QT_TRANSLATE_NOOP("Report", "the printer did not answer"));
    case Cause::PrinterRefused:
        return text(QT_TRANSLATE_NOOP("Report", "the printer refused a frame"));
    case Cause::WrongFrameNumber:
        return text(QT_TRANSLATE_NOOP("Report", "the printer acknowledged another frame"));
    case Cause::LinkTimeout:
        return text(QT_TRANSLATE_NOOP("Report", "the boot loader did not answer in time"));
    default:
        return causes_.cause(*cause, 0, 0, 0);
    }
}

QString ReportTexts::causeRemedy(const QString& code) const {
    const std::optional<Cause> cause = CauseFromName(code);
    return cause ? causes_.remedy(*cause) : QString();
}

QString ReportTexts::percent(double value) {
    return QString::number(value, 'f', 1) + QStringLiteral(" %");
}

QString ReportTexts::seconds(double ms) {
    return QString::number(ms / 1000, 'f', 1) + QStringLiteral(" s");
}

} // namespace posflash
