#include "report/report_pdf.h"

#include "report/report_charts.h"
#include "report/report_document.h"
#include "report/table_widths.h"

#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgRenderer>
#include <QTextLayout>

#include <algorithm>
#include <optional>

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
    // A heading starts a page when what follows it (kept) would not fit below it.
    void heading(const QString& text, double kept = 40) {
        room(kept + 24);
        y_ += 8;
        line(text, 13, true, 2);
        painter_.setPen(QPen(Qt::gray, 0.5));
        painter_.drawLine(QPointF(0, y_), QPointF(width_, y_));
        y_ += 4;
    }
    void line(const QString& text, double size = 9, bool bold = false, double after = 1) {
        const QFont font = fontOf(size, bold);
        const double h = wrapped(text, font, width_, std::nullopt);
        room(h);
        wrapped(text, font, width_, QPointF(0, y_));
        y_ += h + after;
    }
    // What and its value side by side, the values in one column: a what never parts from its
    // value.
    void facts(const std::vector<std::pair<QString, QString>>& facts) {
        const QFont bold = fontOf(9, true);
        const QFont plain = fontOf(9, false);
        double left = 0;
        for (const auto& [what, value] : facts)
            left = std::max(left, QFontMetricsF(bold).horizontalAdvance(what) + 10);
        left = std::min(left, width_ / 3);
        for (const auto& [what, value] : facts) {
            const double h = std::max(wrapped(what, bold, left - 10, std::nullopt),
                                      wrapped(value, plain, width_ - left, std::nullopt));
            room(h);
            wrapped(what, bold, left - 10, QPointF(0, y_));
            wrapped(value, plain, width_ - left, QPointF(left, y_));
            y_ += h + 1;
        }
    }
    // The headline figures as boxes side by side, each its what above its figure.
    void tiles(const std::vector<std::pair<QString, QString>>& tiles) {
        if (tiles.empty())
            return;
        const QFont what = fontOf(8, false);
        const QFont figure = fontOf(14, true);
        const double gap = 6;
        const double w = (width_ - gap * static_cast<double>(tiles.size() - 1)) /
                         static_cast<double>(tiles.size());
        double whatHeight = 0;
        for (const auto& [label, value] : tiles)
            whatHeight =
                std::max(whatHeight, wrapped(label, what, w - 8, std::nullopt, Qt::AlignHCenter));
        const double figureHeight = QFontMetricsF(figure).height();
        const double h = whatHeight + figureHeight + 10;
        room(h + 8);
        y_ += 4;
        double x = 0;
        for (const auto& [label, value] : tiles) {
            painter_.setPen(QPen(QColor(0xbb, 0xbb, 0xbb), 0.75));
            painter_.drawRoundedRect(QRectF(x, y_, w, h), 3, 3);
            wrapped(label, what, w - 8, QPointF(x + 4, y_ + 4), Qt::AlignHCenter);
            wrapped(value, figure, w - 8, QPointF(x + 4, y_ + 6 + whatHeight), Qt::AlignHCenter);
            x += w + gap;
        }
        y_ += h + 8;
    }
    double chartHeight(const QString& svg) const {
        const QSizeF size = QSvgRenderer(SvgDocument(svg)).defaultSize();
        return width_ * size.height() / size.width();
    }
    void chart(const QString& svg) {
        QSvgRenderer renderer(SvgDocument(svg));
        const double h = chartHeight(svg);
        room(h);
        renderer.render(&painter_, QRectF(0, y_, width_, h));
        y_ += h + 4;
    }
    void table(const ReportTable& t) {
        const QFontMetricsF head(fontOf(8, true));
        const QFontMetricsF body(fontOf(8, false));
        const std::vector<double> widths =
            ColumnWidths(t, width_, 2 * kCellPadding, [&](const QString& text, bool isHead) {
                return (isHead ? head : body).horizontalAdvance(text);
            });
        tableRow(t.head, widths, true);
        for (const QStringList& row : t.rows)
            tableRow(row, widths, false);
        y_ += 4;
    }

private:
    static constexpr double kCellPadding = 3;

    QFont fontOf(double size, bool bold) const {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPointSizeF(size);
        font.setBold(bold);
        // No ligatures: the PDF's text is searched and copied ("posflash", not "pos\uFB02ash").
        font.setStyleStrategy(QFont::PreferNoShaping);
        return font;
    }
    // Lays text out in width, between words where it can and within a word only where a word
    // is wider than width, so that no text is ever cut; draws it at where when given. Its
    // height.
    double wrapped(const QString& text, const QFont& font, double width,
                   std::optional<QPointF> where, Qt::Alignment align = Qt::AlignLeft) {
        QTextLayout layout(text, font, painter_.device());
        QTextOption option(align);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        double h = 0;
        for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
            l.setLineWidth(width);
            l.setPosition(QPointF(0, h));
            h += l.height();
        }
        layout.endLayout();
        if (where) {
            painter_.setPen(Qt::black);
            layout.draw(&painter_, *where);
        }
        return h;
    }
    void tableRow(const QStringList& cells, const std::vector<double>& widths, bool head) {
        const QFont font = fontOf(8, head);
        const int count = std::min(static_cast<int>(cells.size()), static_cast<int>(widths.size()));
        double h = 0;
        for (int c = 0; c < count; ++c)
            h = std::max(h, wrapped(cells[c], font, widths[c] - 2 * kCellPadding, std::nullopt));
        room(h + 3);
        if (head)
            painter_.fillRect(QRectF(0, y_, width_, h + 3), QColor(0xee, 0xf2, 0xf6));
        double x = 0;
        for (int c = 0; c < count; ++c) {
            wrapped(cells[c], font, widths[c] - 2 * kCellPadding,
                    QPointF(x + kCellPadding, y_ + 1.5));
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
    flow.facts(d.facts);
    flow.tiles(d.tiles);
    for (const ReportSection& s : d.sections) {
        flow.heading(s.title, s.svg.isEmpty() ? 40 : flow.chartHeight(s.svg));
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
