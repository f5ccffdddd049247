#pragma once

#include <QString>
#include <QStringList>

namespace posflash {

// One CSV field as RFC 4180 has it (quoted when it holds a comma, a quote or a line break, its
// quotes doubled), made inert for spreadsheets: a cell that begins with =, +, - (when it is no
// number), @, a tab or a carriage return gets a leading apostrophe, so that a label such as
// =HYPERLINK(...) from a scanner or another station stays text when the file is opened.
QString CsvField(const QString& text);

// One CSV record: the cells as fields, joined by commas, with a CRLF line end.
QString CsvRow(const QStringList& cells);

} // namespace posflash
