#pragma once

#include "unit/cause_texts.h"

#include <QString>

namespace posflash {

class Faces;

// The report's words in the language asked, and each failure cause's words and remedy as the
// command line says them.
class ReportTexts {
public:
    explicit ReportTexts(const Faces& faces) : faces_(faces), causes_(faces) {}

    // A text of the report (translation context "Report").
    QString text(const char* english) const;
    // A text that holds a count: one for 1, many (its %n the count) otherwise, in Chinese by
    // the translation's plural forms of many. one is English only, and not marked for
    // translation.
    QString count(const char* one, const char* many, int n) const;
    // What a cause code means and what to do about it; the code itself for one we do not know.
    QString causeWords(const QString& code) const;
    QString causeRemedy(const QString& code) const;
    // "50.0 %", "4.2 s"
    static QString percent(double value);
    static QString seconds(double ms);
    bool english() const;

private:
    const Faces& faces_;
    CauseTexts causes_;
};

} // namespace posflash
