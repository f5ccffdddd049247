#pragma once

#include <QString>

namespace posflash {

// The answer of a command that reports (list, check, history) on standard output. Unlike a
// download's progress, a report is the whole point of its run: it waits for a slow reader
// and loses nothing. False when the reader went away.
bool WriteReport(const QString& text);

// text padded with blanks to width characters (never cut), for the columns of a table.
QString Column(const QString& text, int width);

} // namespace posflash
