#include "report/report_document.h"

#include "report/report_charts.h"
#include "report/report_figures.h"
#include "report/report_names.h"
#include "report/report_texts.h"
#include "report/table_widths.h"

#include <initializer_list>

namespace posflash {
namespace {

QString yieldCell(int part, int units) {
    return QStringLiteral("%1 (%2/%3)")
        .arg(ReportTexts::percent(units > 0 ? 100.0 * part / units : 0))
        .arg(part)
        .arg(units);
}

// A section with its title and its table's head in the report's words.
ReportSection Section(const ReportTexts& t, const char* title,
                      std::initializer_list<const char*> head, QString svg = {}) {
    ReportSection section{t.text(title), std::move(svg), {}, {}};
    for (const char* english : head)
        section.table.head << t.text(english);
    return section;
}

} // namespace

ReportDocument DocumentOf(const ReportFigures& f, const ReportSource& source,
                          const ReportTexts& t) {
    ReportDocument d;
    d.lang = t.english() ? QStringLiteral("en") : QStringLiteral("zh");
    d.title = t.text(QT_TRANSLATE_NOOP("Report", "Shift report"));
    const auto time = [](const QDateTime& at) {
        return at.isValid() ? at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                            : QStringLiteral("-");
    };
    d.facts.push_back({t.text(QT_TRANSLATE_NOOP("Report", "Period")),
                       QStringLiteral("%1 – %2").arg(time(f.first), time(f.last))});
    d.facts.push_back(
        {t.text(QT_TRANSLATE_NOOP("Report", "Stations")),
         f.stations.isEmpty() ? QStringLiteral("-") : f.stations.join(QStringLiteral(", "))});
    QStringList images;
    for (const ImageUnits& image : f.images)
        images << t.count("%1, 1 unit", QT_TRANSLATE_N_NOOP("Report", "%1, %n units"), image.units)
                      .arg(ImageName(image));
    d.facts.push_back({t.text(QT_TRANSLATE_NOOP("Report", "Images")),
                       images.isEmpty() ? QStringLiteral("-")
                                        : images.join(t.english() ? QStringLiteral("; ")
                                                                  : QStringLiteral("；"))});
    d.facts.push_back({t.text(QT_TRANSLATE_NOOP("Report", "Source")), source.from});
    if (const QString filters = FilterWords(source, f, t); !filters.isEmpty())
        d.facts.push_back({t.text(QT_TRANSLATE_NOOP("Report", "Filters")), filters});
    d.facts.push_back({t.text(QT_TRANSLATE_NOOP("Report", "Made")), time(source.made)});

    d.tiles = {
        {t.text(QT_TRANSLATE_NOOP("Report", "Units")), QString::number(f.total.units)},
        {t.text(QT_TRANSLATE_NOOP("Report", "Attempts")), QString::number(f.attempts)},
        {t.text(QT_TRANSLATE_NOOP("Report", "First-pass yield")),
         ReportTexts::percent(f.total.firstPassPercent())},
        {t.text(QT_TRANSLATE_NOOP("Report", "Final yield")),
         ReportTexts::percent(f.total.finalPercent())},
        {t.text(QT_TRANSLATE_NOOP("Report", "Retries")), QString::number(f.retryAttempts)},
    };

    ReportSection yield = Section(
        t, QT_TRANSLATE_NOOP("Report", "Yield per station and shift"),
        {QT_TRANSLATE_NOOP("Report", "Station"), QT_TRANSLATE_NOOP("Report", "Shift or day"),
         QT_TRANSLATE_NOOP("Report", "Units"), QT_TRANSLATE_NOOP("Report", "Attempts"),
         QT_TRANSLATE_NOOP("Report", "First-pass yield"),
         QT_TRANSLATE_NOOP("Report", "Final yield")},
        YieldSvg(f, t));
    for (const GroupYield& g : f.groups)
        yield.table.rows.push_back({g.station, ShiftName(g, t), QString::number(g.yield.units),
                                    QString::number(g.attempts),
                                    yieldCell(g.yield.firstPass, g.yield.units),
                                    yieldCell(g.yield.passed, g.yield.units)});
    if (f.engineeringUnits > 0)
        yield.note = t.count("1 engineering unit is left out.",
                             QT_TRANSLATE_N_NOOP("Report", "%n engineering units are left out."),
                             f.engineeringUnits);
    d.sections.push_back(std::move(yield));

    ReportSection pareto = Section(
        t, QT_TRANSLATE_NOOP("Report", "Failure causes"),
        {QT_TRANSLATE_NOOP("Report", "Cause"), QT_TRANSLATE_NOOP("Report", "Failures"),
         QT_TRANSLATE_NOOP("Report", "Share"), QT_TRANSLATE_NOOP("Report", "Cumulative"),
         QT_TRANSLATE_NOOP("Report", "What it means"), QT_TRANSLATE_NOOP("Report", "What to do")},
        ParetoSvg(f, t));
    for (const ParetoBar& b : f.pareto)
        pareto.table.rows.push_back({b.cause, QString::number(b.count),
                                     ReportTexts::percent(b.sharePercent),
                                     ReportTexts::percent(b.cumulativePercent),
                                     t.causeWords(b.cause), t.causeRemedy(b.cause)});
    d.sections.push_back(std::move(pareto));

    ReportSection times = Section(
        t, QT_TRANSLATE_NOOP("Report", "Time per unit"),
        {QT_TRANSLATE_NOOP("Report", "Station"), QT_TRANSLATE_NOOP("Report", "Units"),
         QT_TRANSLATE_NOOP("Report", "Median"), QT_TRANSLATE_NOOP("Report", "95th percentile")});
    for (const UnitTimes& u : f.times)
        times.table.rows.push_back({u.station, QString::number(u.units),
                                    ReportTexts::seconds(u.medianMs),
                                    ReportTexts::seconds(u.p95Ms)});
    d.sections.push_back(std::move(times));

    ReportSection retries = Section(t, QT_TRANSLATE_NOOP("Report", "Retries"),
                                    {QT_TRANSLATE_NOOP("Report", "Units retried"),
                                     QT_TRANSLATE_NOOP("Report", "Attempts after the first"),
                                     QT_TRANSLATE_NOOP("Report", "Units passed at a retry")});
    retries.table.rows.push_back({QString::number(f.retriedUnits), QString::number(f.retryAttempts),
                                  QString::number(f.savedByRetry)});
    d.sections.push_back(std::move(retries));

    ReportSection ports =
        Section(t, QT_TRANSLATE_NOOP("Report", "Ports with the most failures"),
                {QT_TRANSLATE_NOOP("Report", "Port"), QT_TRANSLATE_NOOP("Report", "Failures"),
                 QT_TRANSLATE_NOOP("Report", "Attempts"), QT_TRANSLATE_NOOP("Report", "Units")});
    for (const PortFailures& p : f.ports)
        ports.table.rows.push_back({p.port, QString::number(p.failures),
                                    QString::number(p.attempts), QString::number(p.units)});
    if (f.ports.empty())
        ports.note = t.text(QT_TRANSLATE_NOOP("Report", "No port failed."));
    d.sections.push_back(std::move(ports));
    return d;
}

QString HtmlOf(const ReportDocument& d) {
    QString h =
        QStringLiteral("<!DOCTYPE html>\n<html lang=\"%1\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<title>%2</title>\n")
            .arg(d.lang, Escaped(d.title));
    // Fonts the reader's system has; nothing is fetched.
    h += QStringLiteral(R"(<style>
@page { size: A4; margin: 15mm; }
body { font-family: "DejaVu Sans", "Noto Sans CJK SC", "WenQuanYi Micro Hei", sans-serif;
       color: #222; margin: 16px; max-width: 720px; font-size: 13px; }
h1 { font-size: 22px; margin: 0 0 8px; }
h2 { font-size: 16px; margin: 18px 0 6px; border-bottom: 1px solid #999; }
table { border-collapse: collapse; width: 100%; }
th, td { text-align: left; padding: 3px 6px; border-bottom: 1px solid #ddd; vertical-align: top;
         white-space: nowrap; }
td.words { white-space: normal; }
/* A head too long for its column wraps between its words; figures below never do. */
th { background: #eef2f6; white-space: normal; word-break: keep-all; }
dl.facts { display: grid; grid-template-columns: max-content 1fr; gap: 2px 12px; margin: 0; }
dl.facts dt { font-weight: bold; }
dl.facts dd { margin: 0; }
.tiles { display: flex; gap: 8px; margin: 12px 0; }
.tile { flex: 1; border: 1px solid #bbb; border-radius: 4px; padding: 6px; text-align: center; }
.tile b { display: block; font-size: 20px; }
section { break-inside: avoid; }
svg { display: block; max-width: 100%; height: auto; }
</style>
</head>
<body>
)");
    h += QStringLiteral("<h1>%1</h1>\n<dl class=\"facts\">\n").arg(Escaped(d.title));
    for (const auto& [what, value] : d.facts)
        h += QStringLiteral("<dt>%1</dt><dd>%2</dd>\n").arg(Escaped(what), Escaped(value));
    h += QStringLiteral("</dl>\n<div class=\"tiles\">\n");
    for (const auto& [what, value] : d.tiles)
        h += QStringLiteral("<div class=\"tile\">%1<b>%2</b></div>\n")
                 .arg(Escaped(what), Escaped(value));
    h += QStringLiteral("</div>\n");
    for (const ReportSection& s : d.sections) {
        h += QStringLiteral("<section>\n<h2>%1</h2>\n").arg(Escaped(s.title));
        h += s.svg;
        if (!s.table.rows.empty()) {
            h += QStringLiteral("<table>\n<tr>");
            for (const QString& head : s.table.head)
                h += QStringLiteral("<th>%1</th>").arg(Escaped(head));
            h += QStringLiteral("</tr>\n");
            for (const QStringList& row : s.table.rows) {
                h += QStringLiteral("<tr>");
                // Figures and codes stay on one line; sentences wrap.
                for (const QString& cell : row)
                    h += QString::fromLatin1(CellWraps(cell) ? "<td class=\"words\">%1</td>"
                                                             : "<td>%1</td>")
                             .arg(Escaped(cell));
                h += QStringLiteral("</tr>\n");
            }
            h += QStringLiteral("</table>\n");
        }
        if (!s.note.isEmpty())
            h += QStringLiteral("<p>%1</p>\n").arg(Escaped(s.note));
        h += QStringLiteral("</section>\n");
    }
    return h + QStringLiteral("</body>\n</html>\n");
}

} // namespace posflash
