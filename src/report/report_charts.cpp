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
constexpr double kDotRadius = 3;
constexpr const char* kFont = "font-family=\"DejaVu Sans, sans-serif\"";

QString n(double value) {
    return QString::number(value, 'f', 1);
}

QString svgStart(const QString& label, double height = kHeight) {
    return QStringLiteral("<svg width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\" role=\"img\" "
                          "aria-label=\"%3\">\n")
        .arg(kWidth)
        .arg(n(height))
        .arg(Escaped(label));
}

QString textAt(double x, double y, const QString& text, const char* anchor = "middle",
               int size = 11, const char* fill = "#333333", const QString& more = {}) {
    return QStringLiteral("<text x=\"%1\" y=\"%2\" text-anchor=\"%3\" font-size=\"%4\" fill=\"%5\" "
                          "%6%8>%7</text>\n")
        .arg(n(x), n(y), QLatin1String(anchor))
        .arg(size)
        .arg(QLatin1String(fill), QLatin1String(kFont), Escaped(text), more);
}

// A text's width at a font size, from DejaVu Sans's widest common letters: an estimate that
// errs wide, as no font is at hand where the HTML is written.
double widthOf(const QString& text, int size) {
    return text.size() * size * 0.62;
}

// A cause code in lines of at most width: broken after its hyphens (and shown spaces), never
// inside a part; empty when a part alone is wider.
QStringList wrappedCode(const QString& code, double width, int size) {
    QStringList parts;
    QString part;
    for (const QChar c : code) {
        part += c;
        if (c == QLatin1Char('-') || c == QChar(char16_t(0x2423))) {
            parts << part;
            part.clear();
        }
    }
    if (!part.isEmpty())
        parts << part;
    QStringList lines;
    for (const QString& p : parts) {
        if (widthOf(p, size) > width)
            return {};
        if (!lines.isEmpty() && widthOf(lines.last() + p, size) <= width)
            lines.last() += p;
        else
            lines << p;
    }
    return lines;
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
    if (f.pareto.empty()) {
        QString s = svgStart(texts.text(QT_TRANSLATE_NOOP("Report", "Failure causes")));
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
    // Each cause whole under its bar: on up to three lines broken at its hyphens, else slanted,
    // the chart as tall as its longest label needs.
    constexpr int kLabelSize = 10;
    std::vector<QStringList> labels;
    bool slanted = false;
    for (const ParetoBar& b : f.pareto) {
        labels.push_back(wrappedCode(b.cause, slot - 4, kLabelSize));
        slanted = slanted || labels.back().isEmpty() || labels.back().size() > 3;
    }
    double labelHeight = 0;
    for (const QStringList& lines : labels)
        labelHeight = std::max(labelHeight, 12.0 * static_cast<double>(lines.size()));
    if (slanted) {
        labelHeight = 0;
        for (const ParetoBar& b : f.pareto)
            labelHeight = std::max(labelHeight, widthOf(b.cause, kLabelSize) * 0.87 + 6);
    }
    const double height = kTop + kPlotHeight + 8 + labelHeight + 28;
    QString s = svgStart(texts.text(QT_TRANSLATE_NOOP("Report", "Failure causes")), height);
    // The count scale on the left: the tallest bar is the full height.
    for (int i = 0; i <= ticks; ++i) {
        const double y = kTop + kPlotHeight * (1 - i / static_cast<double>(ticks));
        s += textAt(kLeft - 6, y + 4, QString::number(step * i), "end", 10);
    }
    s += percentScale(true);
    QString line;
    QString dots;
    for (size_t i = 0; i < f.pareto.size(); ++i) {
        const ParetoBar& b = f.pareto[i];
        const double x = kLeft + slot * static_cast<double>(i) + (slot - bar) / 2;
        const double h = kPlotHeight * b.count / static_cast<double>(most);
        const double top = kTop + kPlotHeight - h;
        const double cx = x + bar / 2;
        const double cy = kTop + kPlotHeight * (1 - b.cumulativePercent / 100);
        s += QStringLiteral("<rect class=\"cause-bar\" data-cause=\"%1\" x=\"%2\" y=\"%3\" "
                            "width=\"%4\" height=\"%5\" fill=\"#c0392b\"/>\n")
                 .arg(Escaped(b.cause), n(x), n(top), n(bar), n(h));
        // The count above its bar, else inside its top, else above the cumulative dot: never
        // under the dot.
        const auto clear = [&](double baseline) {
            return cy + kDotRadius + 1 < baseline - 11 || cy - kDotRadius - 1 > baseline + 2;
        };
        double baseline = top - 4;
        const char* fill = "#000000";
        if (!clear(baseline)) {
            if (h >= 18 && clear(top + 13)) {
                baseline = top + 13;
                fill = "#ffffff";
            } else {
                baseline = cy - kDotRadius - 4;
            }
        }
        s += textAt(cx, baseline, QString::number(b.count), "middle", 11, fill,
                    QStringLiteral(" class=\"bar-count\""));
        const double under = kTop + kPlotHeight + 14;
        if (slanted) {
            s += textAt(cx, under, b.cause, "end", kLabelSize, "#333333",
                        QStringLiteral(" class=\"cause-label\" transform=\"rotate(-60 %1 %2)\"")
                            .arg(n(cx), n(under)));
        } else {
            for (qsizetype l = 0; l < labels[i].size(); ++l)
                s += textAt(cx, under + 12.0 * static_cast<double>(l), labels[i][l], "middle",
                            kLabelSize, "#333333", QStringLiteral(" class=\"cause-label\""));
        }
        line += QStringLiteral("%1,%2 ").arg(n(cx), n(cy));
        dots += QStringLiteral("<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"#1f4e79\"/>\n")
                    .arg(n(cx), n(cy), n(kDotRadius));
    }
    s += QStringLiteral("<polyline points=\"%1\" fill=\"none\" stroke=\"#1f4e79\" "
                        "stroke-width=\"2\"/>\n")
             .arg(line.trimmed());
    s += dots;
    s += textAt(kLeft, height - 10,
                texts.text(QT_TRANSLATE_NOOP("Report", "bars: failed attempts per cause")), "start",
                10);
    s += textAt(kWidth - kRight, height - 10,
                texts.text(QT_TRANSLATE_NOOP("Report", "line: cumulative share")), "end", 10,
                "#1f4e79");
    return s + QStringLiteral("</svg>\n");
}

QString YieldSvg(const ReportFigures& f, const ReportTexts& texts) {
    const double slot =
        (kWidth - kLeft - kRight) / static_cast<double>(std::max<size_t>(f.groups.size(), 1));
    const double bar = std::min(slot * 0.35, 60.0);
    // Under each pair of bars its station (broken at its hyphens where it must), the shift's
    // start and its operator: as the table names them, shortened only where a part is wider.
    std::vector<QStringList> labels;
    qsizetype lines = 2;
    for (const GroupYield& g : f.groups) {
        QStringList label = wrappedCode(g.station, slot - 4, 10);
        if (label.isEmpty())
            label = {shortened(g.station, static_cast<int>((slot - 4) / 6.2))};
        if (g.shift.isEmpty()) {
            label << g.day;
        } else {
            label << g.start.toLocalTime().toString(QStringLiteral("MM-dd HH:mm"));
            if (!g.operatorName.isEmpty())
                label << shortened(g.operatorName, static_cast<int>((slot - 4) / 6.2));
        }
        lines = std::max(lines, label.size());
        labels.push_back(label);
    }
    const double height = kTop + kPlotHeight + 8 + 12.0 * static_cast<double>(lines) + 30;
    QString s = svgStart(texts.text(QT_TRANSLATE_NOOP("Report", "Yield")), height);
    s += percentScale(false);
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
        for (qsizetype l = 0; l < labels[i].size(); ++l)
            s += textAt(x + bar, kTop + kPlotHeight + 16 + 12.0 * static_cast<double>(l),
                        labels[i][l], "middle", 9);
    }
    const double legend = height - 22;
    s += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"10\" height=\"10\" fill=\"#7fb3d5\"/>\n")
             .arg(kLeft)
             .arg(n(legend));
    s += textAt(kLeft + 14, legend + 9, texts.text(QT_TRANSLATE_NOOP("Report", "first-pass yield")),
                "start", 10);
    s += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"10\" height=\"10\" fill=\"#1f4e79\"/>\n")
             .arg(kLeft + 150)
             .arg(n(legend));
    s += textAt(kLeft + 164, legend + 9, texts.text(QT_TRANSLATE_NOOP("Report", "final yield")),
                "start", 10);
    return s + QStringLiteral("</svg>\n");
}

} // namespace posflash
