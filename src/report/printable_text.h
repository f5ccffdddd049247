#pragma once

#include "report/report_figures.h"

#include <QString>

#include <vector>

namespace posflash {

// Text from a record as a report shows it: each control character becomes its visible picture
// (U+2400 … U+2421, or U+FFFD for the C1 range), so that no byte a row holds can make the
// SVG invalid, start a terminal escape from the CSV, or hide in the PDF.
QString PrintableText(const QString& text);

// A cause code as one word: printable, and its spaces shown as U+2423, so that a list of causes
// joined by spaces is never read as more causes than it holds.
QString PrintableCause(const QString& cause);

// Every text of the units, made printable once where they are read.
void MakePrintable(std::vector<ReportUnit>& units);

} // namespace posflash
