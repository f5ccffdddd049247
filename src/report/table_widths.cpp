#include "report/table_widths.h"

#include "report/report_document.h"

#include <QStringList>

#include <algorithm>
#include <numeric>

namespace posflash {
namespace {

// The width a text needs on one line, and at least when it wraps between words.
std::pair<double, double> needs(const QString& text, bool head, const TextMeasure& measure) {
    const double whole = measure(text, head);
    if (!head && !CellWraps(text))
        return {whole, whole};
    double word = 0;
    for (const QString& w : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        word = std::max(word, measure(w, head));
    return {word, whole};
}

} // namespace

bool CellWraps(const QString& cell) {
    return cell.contains(QLatin1Char(' ')) && cell.size() > 24;
}

std::vector<double> ColumnWidths(const ReportTable& table, double width, double padding,
                                 const TextMeasure& measure) {
    const auto columns = static_cast<size_t>(table.head.size());
    std::vector<double> least(columns, 0), most(columns, 0);
    const auto take = [&](size_t c, const QString& text, bool head) {
        const auto [word, whole] = needs(text, head, measure);
        least[c] = std::max(least[c], word + padding);
        most[c] = std::max(most[c], whole + padding);
    };
    for (size_t c = 0; c < columns; ++c)
        take(c, table.head[static_cast<qsizetype>(c)], true);
    for (const QStringList& row : table.rows)
        for (size_t c = 0; c < columns && c < static_cast<size_t>(row.size()); ++c)
            take(c, row[static_cast<qsizetype>(c)], false);
    const double leastSum = std::accumulate(least.begin(), least.end(), 0.0);
    const double mostSum = std::accumulate(most.begin(), most.end(), 0.0);
    std::vector<double> widths(columns);
    if (leastSum >= width) {
        for (size_t c = 0; c < columns; ++c)
            widths[c] = least[c] * width / leastSum;
    } else if (mostSum <= width) {
        // Room for every text on one line: the spare width spread by each column's own.
        for (size_t c = 0; c < columns; ++c)
            widths[c] = most[c] * width / mostSum;
    } else {
        for (size_t c = 0; c < columns; ++c)
            widths[c] = least[c] + (width - leastSum) * (most[c] - least[c]) / (mostSum - leastSum);
    }
    return widths;
}

} // namespace posflash
