#include "report/compliance_report.h"

#include "base/named_values.h"
#include "report/report_texts.h"

#include <QJsonDocument>

namespace posflash {
namespace {

constexpr NamedValue<PrinterState> kStateWords[] = {
    {PrinterState::Current, QT_TRANSLATE_NOOP("Report", "current")},
    {PrinterState::Older, QT_TRANSLATE_NOOP("Report", "older image")},
    {PrinterState::Failed, QT_TRANSLATE_NOOP("Report", "failed")},
    {PrinterState::Pending, QT_TRANSLATE_NOOP("Report", "pending")},
    {PrinterState::Unknown, QT_TRANSLATE_NOOP("Report", "not under this recipe")},
};

QString share(int part, int whole) {
    return QStringLiteral("%1 (%2/%3)")
        .arg(ReportTexts::percent(whole > 0 ? 100.0 * part / whole : 0))
        .arg(part)
        .arg(whole);
}

QStringList countCells(const ComplianceCounts& c) {
    return {QString::number(c.printers), share(c.current, c.printers), QString::number(c.older),
            QString::number(c.failed),   QString::number(c.pending),   QString::number(c.unknown),
            QString::number(c.failures)};
}

QString localTime(const QDateTime& at) {
    return at.isValid() ? at.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))
                        : QStringLiteral("-");
}

} // namespace

std::optional<ComplianceFormat> ComplianceFormatOf(const QString& word) {
    static constexpr NamedValue<ComplianceFormat> kFormats[] = {{ComplianceFormat::Html, "html"},
                                                                {ComplianceFormat::Csv, "csv"},
                                                                {ComplianceFormat::Json, "json"}};
    return ValueIn(kFormats, word);
}

ReportDocument ComplianceDocumentOf(const ComplianceFigures& f, const QString& from,
                                    const QDateTime& made, const ReportTexts& t) {
    ReportDocument d;
    d.lang = t.english() ? QStringLiteral("en") : QStringLiteral("zh");
    d.title = t.text(QT_TRANSLATE_NOOP("Report", "Compliance report"));
    const ComplianceTarget& target = f.target;
    d.facts = {
        {t.text(QT_TRANSLATE_NOOP("Report", "Recipe")), target.recipe},
        {t.text(QT_TRANSLATE_NOOP("Report", "Sequence")),
         target.sequence ? QString::number(*target.sequence) : QStringLiteral("-")},
        {t.text(QT_TRANSLATE_NOOP("Report", "Image")), target.sha256},
        {t.text(QT_TRANSLATE_NOOP("Report", "Image from")),
         target.published
             ? t.text(QT_TRANSLATE_NOOP("Report", "the newest published recipe of this name"))
             : t.text(QT_TRANSLATE_NOOP("Report", "the newest completed downloads under this "
                                                  "name: no recipe of this name is published"))},
        {t.text(QT_TRANSLATE_NOOP("Report", "Source")), from},
        {t.text(QT_TRANSLATE_NOOP("Report", "Made")), localTime(made)},
    };
    const ComplianceCounts& all = f.totals;
    d.tiles = {
        {t.text(QT_TRANSLATE_NOOP("Report", "Printers")), QString::number(all.printers)},
        {t.text(QT_TRANSLATE_NOOP("Report", "On the recipe's image")),
         ReportTexts::percent(all.percentCurrent())},
        {t.text(QT_TRANSLATE_NOOP("Report", "Failed")), QString::number(all.failed)},
        {t.text(QT_TRANSLATE_NOOP("Report", "Pending")), QString::number(all.pending)},
        {t.text(QT_TRANSLATE_NOOP("Report", "Ever failed")), QString::number(all.failures)},
    };

    ReportSection stores{t.text(QT_TRANSLATE_NOOP("Report", "Per store")), {}, {}, {}};
    for (const char* head :
         {QT_TRANSLATE_NOOP("Report", "Store"), QT_TRANSLATE_NOOP("Report", "Printers"),
          QT_TRANSLATE_NOOP("Report", "On the recipe's image"),
          QT_TRANSLATE_NOOP("Report", "Older image"), QT_TRANSLATE_NOOP("Report", "Failed"),
          QT_TRANSLATE_NOOP("Report", "Pending"), QT_TRANSLATE_NOOP("Report", "Not under it"),
          QT_TRANSLATE_NOOP("Report", "Ever failed")})
        stores.table.head << t.text(head);
    for (const auto& [station, counts] : f.stores)
        stores.table.rows.push_back(QStringList{station} + countCells(counts));
    stores.table.rows.push_back(QStringList{t.text(QT_TRANSLATE_NOOP("Report", "All stores"))} +
                                countCells(all));
    stores.note = t.text(QT_TRANSLATE_NOOP(
        "Report", "Ever failed counts the printers with any failed download under this recipe, "
                  "in every run; a later success does not take one back. Pending printers were not "
                  "sent anything and count against no budget."));
    d.sections.push_back(std::move(stores));

    ReportSection late{
        t.text(QT_TRANSLATE_NOOP("Report", "Printers not on the recipe's image")), {}, {}, {}};
    for (const char* head :
         {QT_TRANSLATE_NOOP("Report", "Store"), QT_TRANSLATE_NOOP("Report", "MAC or USB serial"),
          QT_TRANSLATE_NOOP("Report", "State"), QT_TRANSLATE_NOOP("Report", "Cause"),
          QT_TRANSLATE_NOOP("Report", "When"), QT_TRANSLATE_NOOP("Report", "What to do")})
        late.table.head << t.text(head);
    for (const PrinterVerdict* v : f.stragglers()) {
        const PrinterStanding& p = v->printer;
        const QString cause = v->state == PrinterState::Older ? QString() : p.lastCause;
        late.table.rows.push_back(
            {p.station, p.printer.mac.isEmpty() ? p.printer.usbSerial : p.printer.mac,
             t.text(NameIn(kStateWords, v->state)), cause.isEmpty() ? QStringLiteral("-") : cause,
             localTime(DecidedAt(*v)), cause.isEmpty() ? QString() : t.causeRemedy(cause)});
    }
    if (late.table.rows.empty())
        late.note = t.text(QT_TRANSLATE_NOOP("Report", "Every printer runs the recipe's image."));
    d.sections.push_back(std::move(late));
    return d;
}

QString ComplianceReportText(const ComplianceFigures& figures, ComplianceFormat format,
                             const QString& from, const QDateTime& made, const ReportTexts& texts) {
    switch (format) {
    case ComplianceFormat::Html:
        return HtmlOf(ComplianceDocumentOf(figures, from, made, texts));
    case ComplianceFormat::Csv:
        return ComplianceCsv(figures);
    case ComplianceFormat::Json:
        return QString::fromUtf8(
                   QJsonDocument(ComplianceJson(figures)).toJson(QJsonDocument::Compact)) +
               QLatin1Char('\n');
    }
    return {};
}

} // namespace posflash
