#include "report/table_widths.h"

#include "report/report_document.h"

#include <QStringList>

#include <algorithm>
#include <numeric>

namespace posflash {
namespace {

bool ideographic(QChar c) {
    return c.unicode() >= 0x2E80;
}

// The width a text needs on one line, and at least when it wraps: between words, and between
// the characters of Chinese (a head keeps its Chinese whole, as its words).
std::pair<double, double> needs(const QString& text, bool head, const TextMeasure& measure) {
    const double whole = measure(text, head);
    if (!head && !CellWraps(text))
        return {whole, whole};
    double least = 0;
    QString part;
    const auto take = [&] {
        if (!part.isEmpty())
            least = std::max(least, measure(part, head));
        part.clear();
    };
    for (const QChar c : text) {
        if (c == QLatin1Char(' ')) {
            take();
            continue;
        }
        if (!head && ideographic(c))
            take();
        part += c;
        if (!head && ideographic(c))
            take();
    }
    take();
    return {least, whole};
}

} // namespace

bool CellWraps(const QString& cell) {
    const bool chinese = std::any_of(cell.begin(), cell.end(), ideographic);
    return cell.size() > (chinese ? 12 : 24) && (chinese || cell.contains(QLatin1Char(' ')));
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
