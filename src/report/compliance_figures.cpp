#include "report/compliance_figures.h"

#include "base/named_values.h"
#include "history/csv_field.h"

#include <QJsonArray>

#include <algorithm>
#include <cmath>
#include <map>

namespace posflash {

namespace {

constexpr NamedValue<PrinterState> kStateNames[] = {
    {PrinterState::Current, "current"}, {PrinterState::Older, "older"},
    {PrinterState::Failed, "failed"},   {PrinterState::Pending, "pending"},
    {PrinterState::Unknown, "unknown"},
};

QJsonValue timeOrNull(const QDateTime& at) {
    return at.isValid() ? QJsonValue(at.toUTC().toString(Qt::ISODateWithMs)) : QJsonValue();
}

QJsonValue textOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

QJsonObject countsJson(const ComplianceCounts& c) {
    return {
        {"printers", c.printers}, {"current", c.current},
        {"older", c.older},       {"failed", c.failed},
        {"pending", c.pending},   {"unknown", c.unknown},
        {"failures", c.failures}, {"percent_current", std::round(c.percentCurrent() * 10) / 10}};
}

} // namespace

QDateTime DecidedAt(const PrinterVerdict& v) {
    if (v.state == PrinterState::Older && v.printer.imageAt > v.printer.lastAt)
        return v.printer.imageAt;
    return v.printer.lastAt.isValid() ? v.printer.lastAt : v.printer.seenAt;
}

const char* StateName(PrinterState state) {
    return NameIn(kStateNames, state, "unknown");
}

bool IsPendingCause(const QString& cause) {
    return cause == QLatin1String("outside-window") || cause == QLatin1String("not-answering") ||
           cause == QLatin1String("busy");
}

PrinterState StateOf(const PrinterStanding& p, const QString& imageSha256) {
    if (!p.imageSha256.isEmpty() && p.imageSha256 == imageSha256)
        return PrinterState::Current;
    if (p.lastOutcome.isEmpty())
        return PrinterState::Unknown;
    // Completed under the name (an older approval's image), or another image since.
    if (p.lastOutcome == QLatin1String("completed") ||
        (p.imageAt.isValid() && p.imageAt > p.lastAt))
        return PrinterState::Older;
    if (p.lastOutcome == QLatin1String("refused") && IsPendingCause(p.lastCause))
        return PrinterState::Pending;
    return PrinterState::Failed;
}

void ComplianceCounts::add(PrinterState state, bool everFailed) {
    ++printers;
    failures += everFailed ? 1 : 0;
    switch (state) {
    case PrinterState::Current:
        ++current;
        break;
    case PrinterState::Older:
        ++older;
        break;
    case PrinterState::Failed:
        ++failed;
        break;
    case PrinterState::Pending:
        ++pending;
        break;
    case PrinterState::Unknown:
        ++unknown;
        break;
    }
}

std::vector<const PrinterVerdict*> ComplianceFigures::stragglers() const {
    std::vector<const PrinterVerdict*> found;
    for (const PrinterVerdict& v : printers)
        if (v.state != PrinterState::Current)
            found.push_back(&v);
    return found;
}

ComplianceFigures ComplianceOf(const ComplianceTarget& target,
                               std::vector<PrinterStanding> printers) {
    std::sort(printers.begin(), printers.end(), [](const auto& a, const auto& b) {
        return std::tie(a.station, a.printer.mac, a.printer.usbSerial) <
               std::tie(b.station, b.printer.mac, b.printer.usbSerial);
    });
    ComplianceFigures f;
    f.target = target;
    std::map<QString, ComplianceCounts> stores;
    for (PrinterStanding& p : printers) {
        const PrinterState state = StateOf(p, target.sha256);
        f.totals.add(state, p.failures > 0);
        stores[p.station].add(state, p.failures > 0);
        f.printers.push_back({std::move(p), state});
    }
    f.stores.assign(stores.begin(), stores.end());
    return f;
}

QJsonObject ComplianceJson(const ComplianceFigures& f) {
    QJsonArray stores;
    for (const auto& [station, counts] : f.stores) {
        QJsonObject store = countsJson(counts);
        store.insert("station", station);
        stores.append(store);
    }
    QJsonArray stragglers;
    for (const PrinterVerdict* v : f.stragglers())
        stragglers.append(QJsonObject{
            {"station", v->printer.station},
            {"mac", textOrNull(v->printer.printer.mac)},
            {"usb_serial", textOrNull(v->printer.printer.usbSerial)},
            {"state", StateName(v->state)},
            {"cause",
             textOrNull(v->state == PrinterState::Older ? QString() : v->printer.lastCause)},
            {"started", timeOrNull(DecidedAt(*v))}});
    return {{"recipe", f.target.recipe},
            {"sequence", f.target.sequence ? QJsonValue(*f.target.sequence) : QJsonValue()},
            {"sha256", f.target.sha256},
            {"source", f.target.published ? "published" : "records"},
            {"totals", countsJson(f.totals)},
            {"stores", stores},
            {"stragglers", stragglers}};
}

QString ComplianceCsv(const ComplianceFigures& f) {
    QString text = CsvRow(
        {"station", "mac", "usb_serial", "state", "cause", "started", "image_sha256", "failures"});
    for (const PrinterVerdict& v : f.printers)
        text += CsvRow({v.printer.station, v.printer.printer.mac, v.printer.printer.usbSerial,
                        StateName(v.state),
                        v.state == PrinterState::Older ? QString() : v.printer.lastCause,
                        DecidedAt(v).toUTC().toString(Qt::ISODateWithMs), v.printer.imageSha256,
                        QString::number(v.printer.failures)});
    return text;
}

} // namespace posflash
