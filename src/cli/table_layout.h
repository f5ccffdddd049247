#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace posflash {

struct TableColumn {
    QString header;
    // Cut, when the table is wider than the terminal, before any column that does not.
    bool givesWay = false;
    // A path loses its middle and keeps its file name ("/dev/serial/…/usb-0:1.2:1.0").
    bool path = false;
    // Not cut below this many columns (nor below its header) while a column may still be left
    // out; then down to 8.
    int narrowest = 8;
    // When the table does not fit even with every column cut, the column with the lowest
    // rank above 0 is left out first; 0: always shown.
    int leaveOutRank = 0;
    // Left out, the column's cells go each on a line of their own under their row instead,
    // wrapped at blanks; an empty cell or "-" (nothing to say) gets none.
    bool belowWhenLeftOut = false;
};

// Rows of cells under their headers, each column as wide as its widest cell (as a terminal
// shows it), two blanks apart, no blanks at a line's end. width > 0 is the terminal's: the
// columns that give way are then cut, the widest first but never below their narrowest, and a
// cut cell shows "…"; what still does not fit leaves columns out by rank. width 0 keeps every
// cell whole. leftOut, if given, receives the headers of the columns left out entirely.
QString LayoutTable(const std::vector<TableColumn>& columns, const std::vector<QStringList>& rows,
                    int width, QStringList* leftOut = nullptr);

} // namespace posflash
