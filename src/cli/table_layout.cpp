#include "cli/table_layout.h"

#include "cli/text_width.h"

#include <algorithm>

namespace posflash {
namespace {

constexpr int kGap = 2;
constexpr int kNarrowest = 8;

QString cell(const QString& text, int width, bool last) {
    QString shown = text;
    if (DisplayWidth(text) > width)
        shown = CutToWidth(text, width) + QStringLiteral("…");
    return last ? shown : PadToWidth(shown, width + kGap);
}

} // namespace

QString LayoutTable(const std::vector<TableColumn>& columns, const std::vector<QStringList>& rows,
                    int width) {
    const size_t n = columns.size();
    std::vector<int> widths(n);
    std::vector<int> floors(n);
    for (size_t i = 0; i < n; ++i) {
        widths[i] = DisplayWidth(columns[i].header);
        floors[i] = std::max(widths[i], kNarrowest);
        for (const QStringList& row : rows)
            if (static_cast<qsizetype>(i) < row.size())
                widths[i] = std::max(widths[i], DisplayWidth(row[static_cast<qsizetype>(i)]));
        floors[i] = std::min(floors[i], widths[i]);
    }
    if (width > 0) {
        int total = kGap * static_cast<int>(n > 0 ? n - 1 : 0);
        for (int w : widths)
            total += w;
        while (total > width) {
            int widest = -1;
            for (size_t i = 0; i < n; ++i)
                if (columns[i].givesWay && widths[i] > floors[i] &&
                    (widest < 0 || widths[i] > widths[static_cast<size_t>(widest)]))
                    widest = static_cast<int>(i);
            if (widest < 0)
                break; // nothing left to cut: the terminal wraps
            --widths[static_cast<size_t>(widest)];
            --total;
        }
    }
    const auto line = [&](const QStringList& cells) {
        QString text;
        for (size_t i = 0; i < n; ++i) {
            const QString value = static_cast<qsizetype>(i) < cells.size()
                                      ? cells[static_cast<qsizetype>(i)]
                                      : QString();
            text += cell(value, widths[i], i + 1 == n);
        }
        while (text.endsWith(QLatin1Char(' ')))
            text.chop(1);
        return text + QLatin1Char('\n');
    };
    QStringList headers;
    for (const TableColumn& c : columns)
        headers << c.header;
    QString text = line(headers);
    for (const QStringList& row : rows)
        text += line(row);
    return text;
}

} // namespace posflash
