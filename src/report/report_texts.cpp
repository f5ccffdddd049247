#include "report/report_texts.h"

#include "base/faces.h"
#include "base/named_values.h"

#include <QCoreApplication>

namespace posflash {

namespace {

// The download's own words name the frame and the attempts of one run; over many units the
// report says what the cause is.
constexpr NamedValue<Cause> kReportWords[] = {
    {Cause::PrinterSilent, QT_TRANSLATE_NOOP("Report", "the printer did not answer")},
    {Cause::PrinterRefused, QT_TRANSLATE_NOOP("Report", "the printer refused a frame")},
    {Cause::WrongFrameNumber,
     QT_TRANSLATE_NOOP("Report", "the printer acknowledged another frame")},
    {Cause::LinkTimeout, QT_TRANSLATE_NOOP("Report", "the boot loader did not answer in time")},
};

} // namespace

QString ReportTexts::text(const char* english) const {
    return faces_.text("Report", english);
}

QString ReportTexts::count(const char* one, const char* many, int n) const {
    return faces_.count("Report", one, many, n);
}

bool ReportTexts::english() const {
    return faces_.UseEnglish();
}

QString ReportTexts::causeWords(const QString& code) const {
    const std::optional<Cause> cause = CauseFromName(code);
    if (!cause)
        return code == QLatin1String("-") ? text(QT_TRANSLATE_NOOP("Report", "no cause recorded"))
                                          : code;
    if (const char* words = NameIn(kReportWords, *cause, nullptr))
        return text(words);
    return causes_.cause(*cause, 0, 0, 0);
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
