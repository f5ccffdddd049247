#include "report/report_charts.h"

#include "report/printable_text.h"
#include "report/report_figures.h"
#include "report/report_texts.h"

#include <algorithm>

namespace posflash {
namespace {

constexpr int kWidth = 680;
constexpr int kHeight = 260;
constexpr int kLeft = 48;
constexpr int kRight = 48;
constexpr int kTop = 16;
constexpr int kBottom = 64;
constexpr int kPlotHeight = kHeight - kTop - kBottom;
constexpr const char* kFont = "font-family=\"DejaVu Sans, sans-serif\"";

QString n(double value) {
    return QString::number(value, 'f', 1);
}

QString svgStart(const QString& label) {
    return QStringLiteral("<svg width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\" role=\"img\" "
                          "aria-label=\"%3\">\n")
        .arg(kWidth)
        .arg(kHeight)
        .arg(Escaped(label));
}

QString textAt(double x, double y, const QString& text, const char* anchor = "middle",
               int size = 11, const char* fill = "#333333") {
    return QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"%3\" font-size=\"%4\" fill=\"%5\" "
                          "%6>%7</text>\n")
        .arg(n(x), n(y), QLatin1String(anchor))
        .arg(size)
        .arg(QLatin1String(fill), QLatin1String(kFont), Escaped(text));
}

// The frame and a 0..100 % scale on the side given.
QString percentScale(bool right) {
    QString s;
    const double x = right ? kWidth - kRight : kLeft;
    for (int p = 0; p <= 100; p += 25) {
        const double y = kTop + kPlotHeight * (1 - p / 100.0);
        s += QStringLiteral("<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" stroke=\"#dddddd\" "
                            "stroke-width=\"1\"/>\n")
                 .arg(kLeft)
                 .arg(n(y))
                 .arg(kWidth - kRight);
        s += textAt(right ? x + 6 : x - 6, y + 4, QStringLiteral("%1 %").arg(p),
                    right ? "start" : "end", 10);
    }
    return s;
}

QString shortened(const QString& text, int most) {
    return text.size() <= most ? text : text.left(most - 1) + QChar(0x2026);
}

} // namespace

QString Escaped(const QString& text) {
    return PrintableText(text).toHtmlEscaped();
}

QByteArray SvgDocument(const QString& svg) {
    QString whole = svg;
    whole.replace(0, 4, QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\""));
    return whole.toUtf8();
}

QString ParetoSvg(const ReportFigures& f, const ReportTexts& texts) {
    QString s = svgStart(texts.text(QT_TRANSLATE_NOOP("Report", "Failure causes")));
    if (f.pareto.empty()) {
        s += textAt(kWidth / 2.0, kHeight / 2.0,
                    texts.text(QT_TRANSLATE_NOOP("Report", "No failures.")), "middle", 14);
        return s + QStringLiteral("</svg>\n");
    }
    // Whole numbers on the count scale, at most four steps up to the tallest bar or just above.
    const int tallest = f.pareto.front().count;
    const int step = (tallest + 3) / 4;
    const int ticks = (tallest + step - 1) / step;
    const int most = step * ticks;
    const double slot = (kWidth - kLeft - kRight) / static_cast<double>(f.pareto.size());
    const double bar = std::min(slot * 0.7, 90.0);
    // The count scale on the left: the tallest bar is the full height.
    for (int i = 0; i <= ticks; ++i) {
        const double y = kTop + kPlotHeight * (1 - i / static_cast<double>(ticks));
        s += textAt(kLeft - 6, y + 4, QString::number(step * i), "end", 10);
    }
    s += percentScale(true);
    QString line;
    for (size_t i = 0; i < f.pareto.size(); ++i) {
        const ParetoBar& b = f.pareto[i];
        const double x = kLeft + slot * static_cast<double>(i) + (slot - bar) / 2;
        const double h = kPlotHeight * b.count / static_cast<double>(most);
        s += QStringLiteral("<rect class=\"cause-bar\" data-cause=\"%1\" x=\"%2\" y=\"%3\" "
                            "width=\"%4\" height=\"%5\" fill=\"#c0392b\"/>\n")
                 .arg(Escaped(b.cause), n(x), n(kTop + kPlotHeight - h), n(bar), n(h));
        s += textAt(x + bar / 2, kTop + kPlotHeight - h - 4, QString::number(b.count), "middle", 11,
                    "#000000");
        s += textAt(x + bar / 2, kTop + kPlotHeight + 16,
                    shortened(b.cause, static_cast<int>(slot / 6.5)), "middle", 10);
        const double cx = x + bar / 2;
        const double cy = kTop + kPlotHeight * (1 - b.cumulativePercent / 100);
        line += QStringLiteral("%1,%2 ").arg(n(cx), n(cy));
        s += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"3\" fill=\"#1f4e79\"/>\n")
                 .arg(n(cx), n(cy));
    }
    s += QStringLiteral("<polyline points=\"%1\" fill=\"none\" stroke=\"#1f4e79\" "
                        "stroke-width=\"2\"/>\n")
             .arg(line.trimmed());
    s += textAt(kLeft, kHeight - 14,
                texts.text(QT_TRANSLATE_NOOP("Report", "bars: failed attempts per cause")), "start",
                10);
    s += textAt(kWidth - kRight, kHeight - 14,
                texts.text(QT_TRANSLATE_NOOP("Report", "line: cumulative share")), "end", 10,
                "#1f4e79");
    return s + QStringLiteral("</svg>\n");
}

QString YieldSvg(const ReportFigures& f, const ReportTexts& texts) {
    QString s = svgStart(texts.text(QT_TRANSLATE_NOOP("Report", "Yield")));
    s += percentScale(false);
    const double slot =
        (kWidth - kLeft - kRight) / static_cast<double>(std::max<size_t>(f.groups.size(), 1));
    const double bar = std::min(slot * 0.35, 60.0);
    for (size_t i = 0; i < f.groups.size(); ++i) {
        const GroupYield& g = f.groups[i];
        const double x = kLeft + slot * static_cast<double>(i) + slot / 2 - bar;
        int side = 0;
        for (const auto& [value, colour] : {std::pair{g.yield.firstPassPercent(), "#7fb3d5"},
                                            std::pair{g.yield.finalPercent(), "#1f4e79"}}) {
            const double h = kPlotHeight * value / 100;
            const double left = x + bar * side++;
            s += QStringLiteral("<rect class=\"yield-bar\" x=\"%1\" y=\"%2\" width=\"%3\" "
                                "height=\"%4\" fill=\"%5\"/>\n")
                     .arg(n(left), n(kTop + kPlotHeight - h), n(bar), n(h), QLatin1String(colour));
            s += textAt(left + bar / 2, kTop + kPlotHeight - h - 4, n(value), "middle", 10,
                        "#000000");
        }
        const QString group =
            g.shift.isEmpty() ? g.day : g.day + QLatin1Char(' ') + g.shift.left(8);
        s += textAt(x + bar, kTop + kPlotHeight + 16,
                    shortened(g.station, static_cast<int>(slot / 6.5)), "middle", 10);
        s += textAt(x + bar, kTop + kPlotHeight + 30, shortened(group, static_cast<int>(slot / 6)),
                    "middle", 9);
    }
    s += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"10\" height=\"10\" fill=\"#7fb3d5\"/>\n")
             .arg(kLeft)
             .arg(kHeight - 22);
    s += textAt(kLeft + 14, kHeight - 13,
                texts.text(QT_TRANSLATE_NOOP("Report", "first-pass yield")), "start", 10);
    s += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"10\" height=\"10\" fill=\"#1f4e79\"/>\n")
             .arg(kLeft + 150)
             .arg(kHeight - 22);
    s += textAt(kLeft + 164, kHeight - 13, texts.text(QT_TRANSLATE_NOOP("Report", "final yield")),
                "start", 10);
    return s + QStringLiteral("</svg>\n");
}

} // namespace posflash
