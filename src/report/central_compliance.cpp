#include "report/central_compliance.h"

#include "recipe/recipe.h"
#include "records/central_schema.h"
#include "records/pg_link.h"
#include "records/records_address.h"
#include "report/printable_text.h"

#include <array>

namespace posflash {
namespace {

constexpr const char* kUtcTime =
    "to_char(%1 AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')";

QString utc(const char* column) {
    return QString::fromLatin1(kUtcTime).arg(QLatin1String(column));
}

Error complianceError(const QString& text) {
    return Error{0, text};
}

// The published recipe's image: the signed bytes say it, whatever the row's other columns say.
Result<std::optional<ComplianceTarget>> publishedTarget(PgLink& central, const QString& name) {
    const PgValue wanted = PgValue::raw(name.toUtf8());
    const PgAnswer q = central.exec(
        QStringLiteral("SELECT encode(recipe, 'hex'), sequence FROM posflash_recipes WHERE name = "
                       "$1 ORDER BY sequence DESC LIMIT 1"),
        std::span(&wanted, 1), QStringLiteral("cannot read the published recipes"));
    if (!q.ok())
        return q.error();
    if (q.rows.count() == 0)
        return std::optional<ComplianceTarget>{};
    const Result<Recipe> recipe = ParseRecipe(QByteArray::fromHex(q.rows.text(0, 0).toLatin1()));
    if (!recipe)
        return complianceError(
            QStringLiteral("the newest published recipe %1 (sequence %2) cannot be read: %3")
                .arg(name, q.rows.text(0, 1), recipe.error().text));
    if (recipe->name != name)
        return complianceError(
            QStringLiteral("the newest recipe published as %1 (sequence %2) is signed as %3")
                .arg(name, q.rows.text(0, 1), recipe->name));
    return std::optional<ComplianceTarget>{ComplianceTarget{
        name, recipe->sequence, QString::fromLatin1(recipe->imageSha256.toHex()), true}};
}

// With no recipe published under the name: the image of its newest completed rows.
Result<ComplianceTarget> recordedTarget(PgLink& central, const QString& name) {
    const PgValue wanted = PgValue::raw(name.toUtf8());
    const PgAnswer q = central.exec(
        QStringLiteral("SELECT sha256, recipe_sequence FROM %1 WHERE recipe = $1 AND sha256 IS "
                       "NOT NULL ORDER BY recipe_sequence DESC NULLS LAST, started_at DESC LIMIT 1")
            .arg(QLatin1String(kPrinterImagesView)),
        std::span(&wanted, 1), QStringLiteral("cannot read the printers' images"));
    if (!q.ok())
        return q.error();
    if (q.rows.count() == 0)
        return complianceError(
            QStringLiteral("no recipe named %1 is published in the line's records (posflash-cli "
                           "records publish-recipe), and no printer completed a download under it")
                .arg(name));
    ComplianceTarget target{name, std::nullopt, q.rows.text(0, 0), false};
    if (!q.rows.isNull(0, 1))
        target.sequence = q.rows.number(0, 1, 0);
    return target;
}

} // namespace

Result<ComplianceFigures> CentralCompliance(const RecordsAddress& address, const QString& name) {
    PgLink central(address);
    if (Status opened = central.open(); !opened)
        return opened.error();
    if (Status schema = CheckCentralSchema(central); !schema)
        return schema.error();
    Result<std::optional<ComplianceTarget>> published = publishedTarget(central, name);
    if (!published)
        return published.error();
    Result<ComplianceTarget> target =
        *published ? Result<ComplianceTarget>(**published) : recordedTarget(central, name);
    if (!target)
        return target.error();

    // Every printer the records have seen, with its last image and its rows under the name.
    const PgValue wanted = PgValue::raw(name.toUtf8());
    const PgAnswer q =
        central.exec(QStringLiteral(R"(WITH seen AS (
    SELECT station, mac, usb_serial, max(last_started_at) AS seen_at FROM %1
    GROUP BY station, mac, usb_serial)
SELECT s.station, s.mac, s.usb_serial, i.sha256, %3, u.last_outcome, u.last_cause, %4,
       coalesce(u.failures, 0), %5
FROM seen s
LEFT JOIN %2 i ON i.station = s.station AND i.mac IS NOT DISTINCT FROM s.mac
                  AND i.usb_serial IS NOT DISTINCT FROM s.usb_serial
LEFT JOIN %1 u ON u.recipe = $1 AND u.station = s.station AND u.mac IS NOT DISTINCT FROM s.mac
                  AND u.usb_serial IS NOT DISTINCT FROM s.usb_serial)")
                         .arg(QLatin1String(kPrinterRecipesView), QLatin1String(kPrinterImagesView),
                              utc("i.started_at"), utc("u.last_started_at"), utc("s.seen_at")),
                     std::span(&wanted, 1), QStringLiteral("cannot read the printers"));
    if (!q.ok())
        return q.error();
    std::vector<PrinterStanding> printers;
    for (int row = 0; row < q.rows.count(); ++row) {
        const auto text = [&](int column) { return PrintableText(q.rows.text(row, column)); };
        const auto time = [&](int column) {
            return QDateTime::fromString(q.rows.text(row, column), Qt::ISODateWithMs);
        };
        PrinterStanding p;
        p.station = q.rows.isNull(row, 0) ? QStringLiteral("-") : text(0);
        p.printer.mac = text(1);
        p.printer.usbSerial = text(2);
        p.imageSha256 = text(3);
        p.imageAt = time(4);
        p.lastOutcome = text(5);
        p.lastCause = PrintableCause(q.rows.text(row, 6));
        p.lastAt = time(7);
        p.failures = static_cast<int>(q.rows.number(row, 8, 0));
        p.seenAt = time(9);
        printers.push_back(std::move(p));
    }
    return ComplianceOf(*target, std::move(printers));
}

Result<std::vector<HistoryRecord>> CentralLastImages(const RecordsAddress& address,
                                                     const QString& station) {
    PgLink central(address);
    if (Status opened = central.open(); !opened)
        return opened.error();
    if (Status schema = CheckCentralSchema(central); !schema)
        return schema.error();
    const PgValue wanted = PgValue::raw(station.toUtf8());
    const PgAnswer q = central.exec(
        QStringLiteral("SELECT mac, usb_serial, sha256, kind, recipe, recipe_sequence, recipe_key, "
                       "%2 FROM %1 WHERE station = $1")
            .arg(QLatin1String(kPrinterImagesView), utc("started_at")),
        std::span(&wanted, 1), QStringLiteral("cannot read the printers' images"));
    if (!q.ok())
        return q.error();
    std::vector<HistoryRecord> rows;
    for (int row = 0; row < q.rows.count(); ++row) {
        const auto text = [&](int column) { return PrintableText(q.rows.text(row, column)); };
        HistoryRecord r;
        r.station = station;
        r.outcome = QStringLiteral("completed");
        r.printer.mac = text(0);
        r.printer.usbSerial = text(1);
        r.sha256 = QByteArray::fromHex(q.rows.text(row, 2).toLatin1());
        r.kind = text(3);
        r.recipe = text(4);
        r.recipeSequence = q.rows.isNull(row, 5) ? -1 : q.rows.number(row, 5, -1);
        r.recipeKey = text(6);
        r.startedAt = QDateTime::fromString(q.rows.text(row, 7), Qt::ISODateWithMs);
        rows.push_back(std::move(r));
    }
    return rows;
}

} // namespace posflash
