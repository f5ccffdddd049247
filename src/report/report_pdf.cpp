#include "report/report_pdf.h"

#include "report/report_charts.h"
#include "report/report_document.h"

#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgRenderer>

#include <algorithm>

namespace posflash {
namespace {

// Lays the document out from top to bottom in points, a new page when the next piece does
// not fit.
class PdfFlow {
public:
    explicit PdfFlow(QPdfWriter& writer) : writer_(writer), painter_(&writer) {
        // The writer's resolution is 72 dpi: a device pixel is a point, as the fonts count.
        const QRectF page = writer.pageLayout().paintRect(QPageLayout::Point);
        width_ = page.width();
        height_ = page.height();
    }
    bool active() const { return painter_.isActive(); }

    void title(const QString& text) { line(text, 18, true, 6); }
    void heading(const QString& text) {
        room(60);
        y_ += 8;
        line(text, 13, true, 2);
        painter_.setPen(QPen(Qt::gray, 0.5));
        painter_.drawLine(QPointF(0, y_), QPointF(width_, y_));
        y_ += 4;
    }
    void line(const QString& text, double size = 9, bool bold = false, double after = 1) {
        QFont font = fontOf(size, bold);
        const QRectF box(0, y_, width_, height_);
        const QRectF used = QFontMetricsF(font).boundingRect(box, Qt::TextWordWrap, text);
        room(used.height());
        painter_.setFont(font);
        painter_.setPen(Qt::black);
        painter_.drawText(QRectF(0, y_, width_, used.height()), Qt::TextWordWrap, text);
        y_ += used.height() + after;
    }
    void chart(const QString& svg) {
        QSvgRenderer renderer(SvgDocument(svg));
        const QSizeF size = renderer.defaultSize();
        const double h = width_ * size.height() / size.width();
        room(h);
        renderer.render(&painter_, QRectF(0, y_, width_, h));
        y_ += h + 4;
    }
    // Columns shared out by the longest text of each, every column at least a little.
    void table(const ReportTable& t) {
        std::vector<double> want(static_cast<size_t>(t.head.size()), 30);
        const QFontMetricsF metrics(fontOf(8, false));
        for (int c = 0; c < t.head.size(); ++c)
            want[c] = std::max(want[c], metrics.horizontalAdvance(t.head[c]) + 8);
        for (const QStringList& row : t.rows)
            for (int c = 0; c < row.size() && c < t.head.size(); ++c)
                want[c] = std::max(want[c], std::min(metrics.horizontalAdvance(row[c]) + 8, 220.0));
        double total = 0;
        for (double w : want)
            total += w;
        for (double& w : want)
            w *= width_ / std::max(total, width_);
        tableRow(t.head, want, true);
        for (const QStringList& row : t.rows)
            tableRow(row, want, false);
        y_ += 4;
    }

private:
    QFont fontOf(double size, bool bold) const {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(size);
        font.setBold(bold);
        // No ligatures: the PDF's text is searched and copied ("posflash", not "pos\uFB02ash").
        font.setStyleStrategy(QFont::PreferNoShaping);
        return font;
    }
    void tableRow(const QStringList& cells, const std::vector<double>& widths, bool head) {
        const QFont font = fontOf(8, head);
        const QFontMetricsF metrics(font);
        double h = 0;
        for (int c = 0; c < cells.size() && c < static_cast<int>(widths.size()); ++c)
            h = std::max(
                h,
                metrics.boundingRect(QRectF(0, 0, widths[c] - 4, 1000), Qt::TextWordWrap, cells[c])
                    .height());
        room(h + 3);
        painter_.setFont(font);
        double x = 0;
        if (head)
            painter_.fillRect(QRectF(0, y_, width_, h + 3), QColor(0xee, 0xf2, 0xf6));
        for (int c = 0; c < cells.size() && c < static_cast<int>(widths.size()); ++c) {
            painter_.setPen(Qt::black);
            painter_.drawText(QRectF(x + 2, y_ + 1.5, widths[c] - 4, h), Qt::TextWordWrap,
                              cells[c]);
            x += widths[c];
        }
        y_ += h + 3;
        painter_.setPen(QPen(QColor(0xdd, 0xdd, 0xdd), 0.5));
        painter_.drawLine(QPointF(0, y_), QPointF(width_, y_));
    }
    void room(double h) {
        if (y_ > 0 && y_ + h > height_) {
            writer_.newPage();
            y_ = 0;
        }
    }

    QPdfWriter& writer_;
    QPainter painter_;
    double width_ = 0;
    double height_ = 0;
    double y_ = 0;
};

} // namespace

Status WritePdf(const ReportDocument& d, const QString& path) {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    writer.setTitle(d.title);
    writer.setCreator(QStringLiteral("posflash"));
    writer.setResolution(72);
    PdfFlow flow(writer);
    if (!flow.active())
        return Error{0, QStringLiteral("cannot write %1").arg(path)};
    flow.title(d.title);
    for (const auto& [what, value] : d.facts)
        flow.line(what + QStringLiteral(": ") + value);
    QStringList tiles;
    for (const auto& [what, value] : d.tiles)
        tiles << what + QStringLiteral(": ") + value;
    flow.line(tiles.join(QStringLiteral("    ")), 11, true, 4);
    for (const ReportSection& s : d.sections) {
        flow.heading(s.title);
        if (!s.svg.isEmpty())
            flow.chart(s.svg);
        if (!s.table.rows.empty())
            flow.table(s.table);
        if (!s.note.isEmpty())
            flow.line(s.note);
    }
    return {};
}

} // namespace posflash
