#pragma once

#include <QString>

#include <functional>
#include <vector>

namespace posflash {

struct ReportTable;

// Whether a cell's text may wrap: a sentence may, between its words (or its Chinese
// characters); a figure, a code or a name ("66.7 %", "printer-silent") stays on one line. The HTML
// and the PDF share the rule.
bool CellWraps(const QString& cell);

// A text's width as drawn, in a table's head or in its body.
using TextMeasure = std::function<double(const QString& text, bool head)>;

// The widths of a table's columns across width, each holding padding beside its text. A column
// is never narrower than its longest word of a head or a sentence, nor than its widest figure;
// the rest of the width goes to the columns that would wrap, by what they lack to fit on one
// line. Only when those least widths exceed width are they narrowed, all alike (and a word
// then breaks where it must).
std::vector<double> ColumnWidths(const ReportTable& table, double width, double padding,
                                 const TextMeasure& measure);

} // namespace posflash
