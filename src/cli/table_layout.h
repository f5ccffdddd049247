#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace posflash {

struct TableColumn {
    QString header;
    // Cut, when the table is wider than the terminal, before any column that does not.
    bool givesWay = false;
};

// Rows of cells under their headers, each column as wide as its widest cell (as a terminal
// shows it), two blanks apart, no blanks at a line's end. width > 0 is the terminal's: the
// columns that give way are then cut, the widest first but never below their header or 8
// columns, until the table fits, and a cut cell ends in "…". width 0 keeps every cell whole.
QString LayoutTable(const std::vector<TableColumn>& columns, const std::vector<QStringList>& rows,
                    int width);

} // namespace posflash
