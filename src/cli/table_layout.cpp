#include "cli/table_layout.h"

#include "cli/text_width.h"

#include <algorithm>

namespace posflash {
namespace {

constexpr int kGap = 2;
constexpr int kBelowIndent = 4;
constexpr int kNarrowest = 8;

QString cell(const QString& text, const TableColumn& column, int width, bool last) {
    QString shown = text;
    if (DisplayWidth(text) > width)
        shown = column.path ? ElideMiddle(text, width) : CutToWidth(text, width) + "…";
    return last ? shown : PadToWidth(shown, width + kGap);
}

QString cellOf(const QStringList& row, size_t i) {
    return static_cast<qsizetype>(i) < row.size() ? row[static_cast<qsizetype>(i)] : QString();
}

// The widths of the shown columns (0 for the others), cut as far as they may to fit width.
std::vector<int> widthsOf(const std::vector<TableColumn>& columns,
                          const std::vector<QStringList>& rows, const std::vector<bool>& shown,
                          int width, bool tight) {
    const size_t n = columns.size();
    std::vector<int> widths(n, 0);
    std::vector<int> floors(n, 0);
    int total = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!shown[i])
            continue;
        widths[i] = DisplayWidth(columns[i].header);
        floors[i] = std::max(widths[i], tight ? kNarrowest : columns[i].narrowest);
        for (const QStringList& row : rows)
            widths[i] = std::max(widths[i], DisplayWidth(cellOf(row, i)));
        floors[i] = std::min(floors[i], widths[i]);
        total += widths[i] + (total > 0 ? kGap : 0);
    }
    while (width > 0 && total > width) {
        int widest = -1;
        for (size_t i = 0; i < n; ++i)
            if (shown[i] && columns[i].givesWay && widths[i] > floors[i] &&
                (widest < 0 || widths[i] > widths[static_cast<size_t>(widest)]))
                widest = static_cast<int>(i);
        if (widest < 0)
            break;
        --widths[static_cast<size_t>(widest)];
        --total;
    }
    return widths;
}

int totalOf(const std::vector<int>& widths) {
    int total = 0;
    for (int w : widths)
        if (w > 0)
            total += w + (total > 0 ? kGap : 0);
    return total;
}

} // namespace

QString LayoutTable(const std::vector<TableColumn>& columns, const std::vector<QStringList>& rows,
                    int width, QStringList* leftOut) {
    const size_t n = columns.size();
    std::vector<bool> shown(n, true);
    std::vector<int> widths = widthsOf(columns, rows, shown, width, false);
    while (width > 0 && totalOf(widths) > width) {
        int next = -1;
        for (size_t i = 0; i < n; ++i)
            if (shown[i] && columns[i].leaveOutRank > 0 &&
                (next < 0 ||
                 columns[i].leaveOutRank < columns[static_cast<size_t>(next)].leaveOutRank))
                next = static_cast<int>(i);
        if (next < 0)
            break; // nothing left to leave out: the terminal wraps
        shown[static_cast<size_t>(next)] = false;
        if (leftOut && !columns[static_cast<size_t>(next)].belowWhenLeftOut)
            *leftOut << columns[static_cast<size_t>(next)].header;
        widths = widthsOf(columns, rows, shown, width, false);
    }
    // Every column that may go is gone: the rest are cut below their ease.
    if (width > 0 && totalOf(widths) > width)
        widths = widthsOf(columns, rows, shown, width, true);
    size_t last = 0;
    for (size_t i = 0; i < n; ++i)
        if (shown[i])
            last = i;
    const auto line = [&](const QStringList& cells) {
        QString text;
        for (size_t i = 0; i < n; ++i)
            if (shown[i])
                text += cell(cellOf(cells, i), columns[i], widths[i], i == last);
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text + QLatin1Char('\n');
    };
    QStringList headers;
    for (const TableColumn& c : columns)
        headers << c.header;
    QString text = line(headers);
    const QString indent(kBelowIndent, QLatin1Char(' '));
    for (const QStringList& row : rows) {
        text += line(row);
        for (size_t i = 0; i < n; ++i)
            if (!shown[i] && columns[i].belowWhenLeftOut && !cellOf(row, i).isEmpty() &&
                cellOf(row, i) != QLatin1String("-"))
                for (const QString& below :
                     WrapToWidth(cellOf(row, i), std::max(width - kBelowIndent, 20)))
                    text += indent + below + QLatin1Char('\n');
    }
    return text;
}

} // namespace posflash
