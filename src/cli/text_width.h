#pragma once

#include <QString>
#include <QStringList>

namespace posflash {

// How many terminal columns text takes: East Asian wide and full-width characters (CJK
// ideographs, kana, Hangul, full-width forms) take two, combining marks none, the rest one.
// Our own table rather than wcwidth(), so that the columns line up whatever the locale.
int DisplayWidth(const QString& text);

// text followed by blanks up to width columns; text wider than that stays whole.
QString PadToWidth(const QString& text, int width);

// text cut so that it takes fewer than columns columns (never a wide character in halves).
QString CutToWidth(const QString& text, int columns);

// text in at most columns columns, its middle replaced by "…": a path keeps its last part
// whole when it can ("/dev/serial/…/usb-0:1.2:1.0"), and its head up to a '/'.
QString ElideMiddle(const QString& text, int columns);

// text broken at blanks into lines of at most columns columns; a word longer than a line is
// cut where the line ends.
QStringList WrapToWidth(const QString& text, int columns);

} // namespace posflash
