#include "records/station_roles.h"

#include "records/central_schema.h"

#include <array>
#include <functional>

namespace posflash {
namespace {

// What a station reads beside the records it sends.
constexpr const char* kStationReads =
    "posflash_schema, posflash_units, posflash_yield, posflash_yield_shift, "
    "posflash_report_units, posflash_causes_day, posflash_recipes, posflash_printer_images, "
    "posflash_printer_recipes";

// Runs work between BEGIN and COMMIT; rolls back when it fails.
Status inTransaction(PgLink& link, const std::function<Status()>& work) {
    if (PgAnswer begun = link.exec(QStringLiteral("BEGIN"), QStringLiteral("cannot begin"));
        !begun.ok())
        return begun.status;
    Status done = work();
    if (done)
        done = link.exec(QStringLiteral("COMMIT"), QStringLiteral("cannot commit")).status;
    if (!done)
        link.exec(QStringLiteral("ROLLBACK"), QString());
    return done;
}

// A statement of the owner's; a refusal for want of rights says who may run it.
Status ownersStatement(PgLink& link, const QString& sql, std::span<const PgValue> values,
                       const QString& context) {
    PgAnswer answer = link.exec(sql, values, context);
    if (HasTrouble(answer.status, records_trouble::kDenied)) {
        Error e = answer.error();
        e.text += QStringLiteral(": run it as the owner of the line's database");
        return e;
    }
    return answer.status;
}

Error unknownRole(const QString& role) {
    return RecordsFailure(records_trouble::kDenied,
                          QStringLiteral("the server has no role named %1: create it first "
                                         "(CREATE ROLE %2 LOGIN)")
                              .arg(role, QuotedIdentifier(role)));
}

} // namespace

Result<RoleStation> StationOfRole(PgLink& link) {
    const QString context = QStringLiteral("cannot read this role's station");
    PgAnswer who = link.exec(
        QStringLiteral("SELECT current_user::text, to_regclass('posflash_stations') IS NOT NULL"),
        context);
    if (!who.ok())
        return who.error();
    RoleStation found{who.rows.text(0, 0), {}, who.rows.text(0, 1) == QLatin1String("t")};
    if (!found.bound)
        return found;
    PgAnswer mapped = link.exec(
        QStringLiteral("SELECT station FROM posflash_stations WHERE role = current_user"), context);
    if (!mapped.ok())
        return mapped.error();
    found.station = mapped.rows.text(0, 0);
    return found;
}

Result<bool> RefusedByRowSecurity(PgLink& link, const Status& inserted) {
    if (!HasTrouble(inserted, records_trouble::kDenied))
        return false;
    PgAnswer held =
        link.exec(QStringLiteral("SELECT has_table_privilege('posflash_records', 'INSERT')"),
                  QStringLiteral("cannot read this role's rights"));
    if (!held.ok())
        return held.error();
    return held.rows.text(0, 0) == QLatin1String("t");
}

QString NotGrantedStationText(const QString& role) {
    return QStringLiteral("the role %1 is not granted a station: run posflash-cli records "
                          "grant-station %1 STATION as the owner of the line's database")
        .arg(role);
}

QString QuotedIdentifier(const QString& name) {
    QString doubled = name;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + doubled + QLatin1Char('"');
}

Status GrantStation(PgLink& link, const QString& role, const QString& station) {
    if (station.trimmed().isEmpty())
        return RecordsFailure(records_trouble::kRowRefused,
                              QStringLiteral("a station's name cannot be empty"));
    // The whole schema: the rights name every view a station reads.
    if (Status ready = CheckCentralSchema(link); !ready)
        return ready;
    const std::array<PgValue, 2> values{PgValue::raw(role.toUtf8()),
                                        PgValue::raw(station.toUtf8())};
    return inTransaction(link, [&]() -> Status {
        // What stands in the way: row-level security does not bind the role, it is another
        // station's, or rows it sent for another station would stop counting.
        PgAnswer found = link.exec(
            QStringLiteral(
                "SELECT r.rolsuper OR r.rolbypassrls OR pg_has_role(r.oid, c.relowner, 'MEMBER'), "
                "(SELECT s.station FROM posflash_stations s WHERE s.role = $1::text), "
                "(SELECT p.station FROM posflash_records p WHERE p.inserted_by = $1::text "
                "AND p.station IS DISTINCT FROM $2::text LIMIT 1) "
                "FROM pg_roles r, pg_class c "
                "WHERE r.rolname = $1::text AND c.oid = 'posflash_records'::regclass"),
            values, QStringLiteral("cannot read the role %1").arg(role));
        if (!found.ok())
            return found.status;
        if (found.rows.count() == 0)
            return unknownRole(role);
        if (found.rows.text(0, 0) == QLatin1String("t"))
            return RecordsFailure(
                records_trouble::kDenied,
                QStringLiteral("the role %1 is a superuser, has BYPASSRLS or can act as the "
                               "owner of posflash_records: row-level security does not bind it, "
                               "so it cannot be a station's role")
                    .arg(role));
        if (!found.rows.isNull(0, 1) && found.rows.text(0, 1) != station)
            return RecordsFailure(records_trouble::kDenied,
                                  QStringLiteral("the role %1 is granted station %2 already "
                                                 "(posflash-cli records revoke-station %1 first)")
                                      .arg(role, found.rows.text(0, 1)));
        if (!found.rows.isNull(0, 2))
            return RecordsFailure(records_trouble::kDenied,
                                  QStringLiteral("the role %1 has sent rows of station %2, which "
                                                 "count only while it is that station's: give "
                                                 "%3 a role of its own")
                                      .arg(role, found.rows.text(0, 2), station));
        if (Status mapped = ownersStatement(
                link,
                QStringLiteral("INSERT INTO posflash_stations (role, station) VALUES ($1, $2) "
                               "ON CONFLICT (role) DO NOTHING"),
                values, QStringLiteral("cannot grant the station"));
            !mapped)
            return mapped;
        const QString grantee = QuotedIdentifier(role);
        for (const QString& grant :
             {QStringLiteral("GRANT SELECT, INSERT ON posflash_records TO %1").arg(grantee),
              // Its own marks only: the table's row-level security sees to that.
              QStringLiteral("GRANT SELECT, INSERT, UPDATE ON posflash_recipe_marks TO %1")
                  .arg(grantee),
              QStringLiteral("GRANT SELECT ON %1 TO %2")
                  .arg(QLatin1String(kStationReads), grantee)})
            if (Status granted =
                    ownersStatement(link, grant, {}, QStringLiteral("cannot grant the rights"));
                !granted)
                return granted;
        return {};
    });
}

Result<std::optional<QString>> RevokeStation(PgLink& link, const QString& role) {
    if (Status ready = CheckCentralSchema(link); !ready)
        return ready.error();
    std::optional<QString> had;
    const PgValue name = PgValue::raw(role.toUtf8());
    const Status revoked = inTransaction(link, [&]() -> Status {
        PgAnswer found = link.exec(
            QStringLiteral("SELECT (SELECT s.station FROM posflash_stations s WHERE s.role = "
                           "$1::text) FROM pg_roles WHERE rolname = $1::text"),
            std::span(&name, 1), QStringLiteral("cannot read the role %1").arg(role));
        if (!found.ok())
            return found.status;
        if (found.rows.count() == 0)
            return unknownRole(role);
        if (!found.rows.isNull(0, 0))
            had = found.rows.text(0, 0);
        if (Status unmapped = ownersStatement(
                link, QStringLiteral("DELETE FROM posflash_stations WHERE role = $1"),
                std::span(&name, 1), QStringLiteral("cannot revoke the station"));
            !unmapped)
            return unmapped;
        const QString grantee = QuotedIdentifier(role);
        for (const QString& revoke :
             {QStringLiteral("REVOKE SELECT, INSERT ON posflash_records FROM %1").arg(grantee),
              QStringLiteral("REVOKE SELECT, INSERT, UPDATE ON posflash_recipe_marks FROM %1")
                  .arg(grantee),
              QStringLiteral("REVOKE SELECT ON %1 FROM %2")
                  .arg(QLatin1String(kStationReads), grantee)})
            if (Status done =
                    ownersStatement(link, revoke, {}, QStringLiteral("cannot revoke the rights"));
                !done)
                return done;
        return {};
    });
    if (!revoked)
        return revoked.error();
    return had;
}

} // namespace posflash
