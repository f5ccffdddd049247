#include "records/central_schema.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <vector>

namespace posflash {
namespace {

RecordColumn::Form formOf(FieldEncoding encoding) {
    switch (encoding) {
    case FieldEncoding::Text:
    case FieldEncoding::Hex:
        return RecordColumn::Form::Text;
    case FieldEncoding::Bytes:
        return RecordColumn::Form::Bytes;
    case FieldEncoding::Uuid:
    case FieldEncoding::Time:
    case FieldEncoding::Duration:
    case FieldEncoding::Integer:
        break;
    }
    return RecordColumn::Form::Literal;
}

// posflash_yield and posflash_yield_shift: a station's units per day or per shift.
QString YieldView(const QString& name, const QString& group, const QString& first) {
    return QStringLiteral(R"(    CREATE VIEW %1 AS
    SELECT station, %2,
%3           count(*) AS units,
           count(*) FILTER (WHERE first_pass) AS units_first_pass,
           count(*) FILTER (WHERE passed) AS units_passed,
           round(100.0 * count(*) FILTER (WHERE first_pass) / count(*), 1)
               AS first_pass_yield_percent,
           round(100.0 * count(*) FILTER (WHERE passed) / count(*), 1) AS final_yield_percent,
           sum(attempts)::bigint AS attempts
    FROM posflash_units
    GROUP BY station, %2;
)")
        .arg(name, group, first);
}

// Whether a row's printer received a frame, as ReachedPrinter (src/history/unit_yield.cpp)
// decides it: a released step keeps its own copy of the rule.
constexpr const char* kReachedV7 =
    "(outcome = 'completed' OR (outcome <> 'refused' AND coalesce(cause, '') NOT IN "
    "('port-missing', 'port-busy', 'permission', 'bind-refused', 'link-timeout', "
    "'printer-absent', 'address-missing', 'bad-address', 'file-name-too-long', "
    "'monitor-unreachable') AND (coalesce(cause, '') NOT IN ('cancelled', 'stopped') OR crc16 "
    "IS NOT NULL)))";

// The yield columns of posflash_report_units as versions 3 to 6 made them, and a later version's
// text in their place.
const QString kReportYieldsV3 = QStringLiteral(
    R"(       (array_agg(outcome ORDER BY attempt, started_at, id))[1] = 'completed' AS first_pass,
       (array_agg(outcome ORDER BY attempt DESC, started_at DESC, id DESC))[1] = 'completed'
           AS passed,
)");

// posflash_report_units, as versions 3 and 4 made it (the same view but for its mode), and as
// later versions make it from another set of rows, with other yields and columns added last.
QString ReportUnitsView(const QString& create, const QString& mode,
                        const QString& rows = QStringLiteral("posflash_records\nGROUP BY 1"),
                        const QString& yields = kReportYieldsV3, const QString& added = {}) {
    return create + QStringLiteral(R"( posflash_report_units AS
SELECT coalesce(unit, id::text) AS unit,
       (array_agg(coalesce(station, sent_from) ORDER BY attempt, started_at, id))[1] AS station,
       (array_agg(shift ORDER BY attempt, started_at, id))[1] AS shift,
       (array_agg(operator ORDER BY attempt, started_at, id))[1] AS operator,
       (array_agg(label ORDER BY attempt, started_at, id))[1] AS label,
       (array_agg(sha256 ORDER BY attempt, started_at, id))[1] AS sha256,
       (array_agg(kind ORDER BY attempt, started_at, id))[1] AS kind,
       (array_agg(coalesce(nullif(usb_path, ''), nullif(device_node, ''), nullif(ip, ''),
                           'COM' || nullif(com_number, 0)::text)
                  ORDER BY attempt, started_at, id))[1] AS port,
       min(started_at) AS started_at,
       max(started_at + duration_ms * interval '1 millisecond') AS ended_at,
       count(*) AS attempts,
       count(*) FILTER (WHERE outcome IN ('failed', 'refused')) AS failures,
)") + yields +
           QStringLiteral(
               R"(       (array_agg(cause ORDER BY attempt DESC, started_at DESC, id DESC))[1] AS last_cause,
       coalesce(array_agg(coalesce(nullif(cause, ''), '-') ORDER BY attempt, started_at, id)
                    FILTER (WHERE outcome IN ('failed', 'refused')), '{}') AS failure_causes,
       )") +
           mode + QStringLiteral(" AS mode") + added + QStringLiteral("\nFROM ") + rows;
}

// posflash_units over the rows from counts, a unit its UUID within its station (versions 6
// and 7).
QString UnitsPerStationView(const QString& from) {
    return QStringLiteral(R"(CREATE OR REPLACE VIEW posflash_units AS
SELECT coalesce(unit, id::text) AS unit,
       coalesce(station, sent_from) AS station,
       (array_agg(started_at::date ORDER BY attempt, started_at, id))[1] AS day,
       (array_agg(shift ORDER BY attempt, started_at, id))[1] AS shift,
       min(started_at) AS started_at,
       count(*) AS attempts,
       (array_agg(outcome ORDER BY attempt, started_at, id))[1] = 'completed' AS first_pass,
       (array_agg(outcome ORDER BY attempt DESC, started_at DESC, id DESC))[1] = 'completed'
           AS passed
FROM %1
GROUP BY coalesce(station, sent_from), coalesce(unit, id::text))")
        .arg(from);
}

// A block that grants SELECT on what to everyone but the owner who holds privilege on from.
QString GrantToHoldersOf(const QString& from, const QString& privilege, const QString& what) {
    return QStringLiteral(R"(DO $$
DECLARE
    reader text;
BEGIN
    FOR reader IN
        SELECT DISTINCT CASE WHEN a.grantee = 0 THEN 'PUBLIC' ELSE quote_ident(r.rolname) END
        FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) a
             LEFT JOIN pg_roles r ON r.oid = a.grantee
        WHERE c.oid = '%1'::regclass AND a.privilege_type = '%2'
              AND a.grantee <> c.relowner
    LOOP
        EXECUTE 'GRANT SELECT ON %3 TO ' || reader;
    END LOOP;
END $$)")
        .arg(from, privilege, what);
}

// Step i brings the line's schema from version i to i + 1; a released step never changes. The
// path is bytea: a name that is no UTF-8 keeps its bytes. sent_from is the host name of the
// station that sent the row; received_at when the line's server took it.
const QStringList kStep1{
    QStringLiteral(R"(CREATE TABLE posflash_records (
    id uuid PRIMARY KEY,
    started_at timestamptz NOT NULL,
    duration_ms bigint NOT NULL,
    front_end text NOT NULL,
    com_number integer,
    device_node text,
    usb_path text,
    usb_serial text,
    ip text,
    mac text,
    file_path bytea NOT NULL,
    file_size bigint,
    sha256 text,
    kind text NOT NULL,
    crc16 integer,
    frames integer NOT NULL,
    retries integer NOT NULL,
    outcome text NOT NULL,
    cause text,
    reason_en text,
    reason_zh text,
    legacy_reason text,
    operator text,
    station text,
    label text,
    unit text,
    attempt integer,
    sent_from text,
    received_at timestamptz NOT NULL DEFAULT now()))"),
    QStringLiteral("CREATE INDEX posflash_records_started_at ON posflash_records (started_at)"),
    // The day in the server's time zone; a unit is its shared UUID, or the row when it has none.
    QStringLiteral(R"(CREATE VIEW posflash_yield AS
SELECT coalesce(station, sent_from) AS station,
       started_at::date AS day,
       count(*) AS attempts,
       count(*) FILTER (WHERE outcome = 'completed') AS completed,
       count(DISTINCT coalesce(unit, id::text)) AS units,
       count(DISTINCT coalesce(unit, id::text)) FILTER (WHERE outcome = 'completed')
           AS units_completed,
       round(100.0 * count(*) FILTER (WHERE outcome = 'completed') / count(*), 1)
           AS yield_percent
FROM posflash_records
GROUP BY 1, 2)"),
};
// Version 2: the shift, and the yields per unit (docs/records.md). posflash_units is one row a
// unit: a unit is its shared UUID, or the row when it has none; its station, day and shift are
// those of its first attempt; first_pass whether that attempt completed, passed whether its
// last one did. posflash_yield is remade on it (its columns change, so it is dropped, and the
// roles that could read it may read the new views).
const QStringList kStep2{
    QStringLiteral("ALTER TABLE posflash_records ADD COLUMN shift text"),
    QStringLiteral("CREATE INDEX posflash_records_shift ON posflash_records (shift)"),
    QStringLiteral(R"(DO $$
DECLARE
    readers text[];
    reader text;
BEGIN
    SELECT coalesce(array_agg(DISTINCT CASE WHEN a.grantee = 0 THEN 'PUBLIC'
                                            ELSE quote_ident(r.rolname) END), '{}')
    INTO readers
    FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) a
         LEFT JOIN pg_roles r ON r.oid = a.grantee
    WHERE c.oid = 'posflash_yield'::regclass AND a.privilege_type = 'SELECT'
          AND a.grantee <> c.relowner;
    DROP VIEW posflash_yield;
    CREATE VIEW posflash_units AS
    SELECT coalesce(unit, id::text) AS unit,
           (array_agg(coalesce(station, sent_from) ORDER BY attempt, started_at, id))[1]
               AS station,
           (array_agg(started_at::date ORDER BY attempt, started_at, id))[1] AS day,
           (array_agg(shift ORDER BY attempt, started_at, id))[1] AS shift,
           min(started_at) AS started_at,
           count(*) AS attempts,
           (array_agg(outcome ORDER BY attempt, started_at, id))[1] = 'completed' AS first_pass,
           (array_agg(outcome ORDER BY attempt DESC, started_at DESC, id DESC))[1] = 'completed'
               AS passed
    FROM posflash_records
    GROUP BY 1;
)") + YieldView(QStringLiteral("posflash_yield"), QStringLiteral("day"), {}) +
        YieldView(QStringLiteral("posflash_yield_shift"), QStringLiteral("shift"),
                  QStringLiteral("           min(started_at) AS first_started_at,\n")) +
        QStringLiteral(R"(    FOREACH reader IN ARRAY readers LOOP
        EXECUTE 'GRANT SELECT ON posflash_units, posflash_yield, posflash_yield_shift TO '
                || reader;
    END LOOP;
END $$)"),
};
// Version 3: the views a shift report reads (docs/records.md). posflash_report_units is
// posflash_units with what the report shows and filters by, from the unit's first attempt; its
// mode is the hook for recipes, NULL until records carry one. posflash_causes_day counts the
// failed and refused attempts per cause, for a site's own dashboard.
const QStringList kStep3{
    ReportUnitsView(QStringLiteral("CREATE VIEW"), QStringLiteral("NULL::text")),
    QStringLiteral(R"(CREATE VIEW posflash_causes_day AS
SELECT coalesce(station, sent_from) AS station, started_at::date AS day,
       coalesce(nullif(cause, ''), '-') AS cause, count(*) AS failures
FROM posflash_records
WHERE outcome IN ('failed', 'refused')
GROUP BY 1, 2, 3)"),
    // Those who could read the yields may read these too.
    GrantToHoldersOf(QStringLiteral("posflash_yield_shift"), QStringLiteral("SELECT"),
                     QStringLiteral("posflash_report_units, posflash_causes_day")),
};
// Version 4: the line recipe a unit ran under, its mode in posflash_report_units (the unit's
// first attempt's), and posflash_recipes: the signed recipes a line publishes for its
// production windows. A station verifies each with its own trusted keys, so the table holds
// the recipe's bytes and its signature as they were signed, nothing it would have to trust.
const QStringList kStep4{
    QStringLiteral("ALTER TABLE posflash_records ADD COLUMN recipe text, ADD COLUMN recipe_sha256 "
                   "text, ADD COLUMN recipe_key text, ADD COLUMN mode text"),
    ReportUnitsView(QStringLiteral("CREATE OR REPLACE VIEW"),
                    QStringLiteral("(array_agg(mode ORDER BY attempt, started_at, id))[1]")),
    QStringLiteral(R"(CREATE TABLE posflash_recipes (
    id bigserial PRIMARY KEY,
    name text NOT NULL,
    recipe bytea NOT NULL,
    signature bytea NOT NULL,
    recipe_sha256 text NOT NULL,
    published_at timestamptz NOT NULL DEFAULT now(),
    published_by text NOT NULL DEFAULT current_user))"),
    QStringLiteral("CREATE INDEX posflash_recipes_name ON posflash_recipes (name, id)"),
    // Those who may send records may read the recipes; publishing is the line engineer's.
    GrantToHoldersOf(QStringLiteral("posflash_records"), QStringLiteral("INSERT"),
                     QStringLiteral("posflash_recipes")),
};
// Version 5: a recipe is bound to its name and never rolls back (docs/records.md).
// posflash_recipes gets the signed sequence of each row, unique per name; rows from before
// (recipe version 1, whose signed sequence is 0 and cannot be read in SQL) are numbered 0 for
// the newest of each name, -1, -2 … for the older ones. Only the table's owner may publish:
// the others' rights go, and a trigger refuses them even after a later GRANT, and refuses a
// sequence not above the newest of its name. posflash_recipe_marks keeps each station role's
// highest verified sequence per name, for its own rows only, never lowered.
const QStringList kStep5{
    QStringLiteral("ALTER TABLE posflash_recipes ADD COLUMN sequence bigint"),
    QStringLiteral(R"(UPDATE posflash_recipes r SET sequence = n.sequence
FROM (SELECT id, 1 - row_number() OVER (PARTITION BY name ORDER BY id DESC) AS sequence
      FROM posflash_recipes) n
WHERE r.id = n.id)"),
    QStringLiteral("ALTER TABLE posflash_recipes ALTER COLUMN sequence SET NOT NULL, "
                   "ADD CONSTRAINT posflash_recipes_name_sequence UNIQUE (name, sequence)"),
    QStringLiteral(R"(DO $$
DECLARE
    holder text;
BEGIN
    FOR holder IN
        SELECT DISTINCT CASE WHEN a.grantee = 0 THEN 'PUBLIC' ELSE quote_ident(r.rolname) END
        FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) a
             LEFT JOIN pg_roles r ON r.oid = a.grantee
        WHERE c.oid = 'posflash_recipes'::regclass
              AND a.privilege_type IN ('INSERT', 'UPDATE', 'DELETE', 'TRUNCATE')
              AND a.grantee <> c.relowner
    LOOP
        EXECUTE 'REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON posflash_recipes FROM ' || holder;
    END LOOP;
END $$)"),
    QStringLiteral(R"(CREATE FUNCTION posflash_recipes_guard() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
    newest bigint;
BEGIN
    IF NOT pg_has_role(current_user,
                       (SELECT relowner FROM pg_class WHERE oid = TG_RELID), 'USAGE') THEN
        RAISE EXCEPTION 'only the owner of posflash_recipes may publish or change recipes'
            USING ERRCODE = 'insufficient_privilege';
    END IF;
    IF TG_OP = 'DELETE' THEN
        RETURN OLD;
    END IF;
    IF TG_OP = 'INSERT' THEN
        SELECT max(sequence) INTO newest FROM posflash_recipes WHERE name = NEW.name;
        IF newest IS NOT NULL AND NEW.sequence <= newest THEN
            RAISE EXCEPTION 'recipe % has sequence %, not higher than the newest published (%)',
                NEW.name, NEW.sequence, newest USING ERRCODE = 'check_violation';
        END IF;
    END IF;
    RETURN NEW;
END $$)"),
    QStringLiteral("CREATE TRIGGER posflash_recipes_guard BEFORE INSERT OR UPDATE OR DELETE ON "
                   "posflash_recipes FOR EACH ROW EXECUTE FUNCTION posflash_recipes_guard()"),
    QStringLiteral(R"(CREATE TABLE posflash_recipe_marks (
    role text NOT NULL DEFAULT current_user,
    name text NOT NULL,
    sequence bigint NOT NULL,
    recipe_sha256 text NOT NULL,
    seen_at timestamptz NOT NULL DEFAULT now(),
    PRIMARY KEY (role, name)))"),
    QStringLiteral("ALTER TABLE posflash_recipe_marks ENABLE ROW LEVEL SECURITY"),
    QStringLiteral("CREATE POLICY posflash_recipe_marks_own ON posflash_recipe_marks "
                   "USING (role = current_user) WITH CHECK (role = current_user)"),
    QStringLiteral(R"(CREATE FUNCTION posflash_recipe_marks_rise() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    IF NEW.role <> OLD.role OR NEW.name <> OLD.name THEN
        RAISE EXCEPTION 'a recipe mark keeps its role and name' USING ERRCODE = 'check_violation';
    END IF;
    IF NEW.sequence < OLD.sequence THEN
        RAISE EXCEPTION 'the mark of recipe % for % is %; it is never lowered (to %)',
            OLD.name, OLD.role, OLD.sequence, NEW.sequence USING ERRCODE = 'check_violation';
    END IF;
    RETURN NEW;
END $$)"),
    QStringLiteral("CREATE TRIGGER posflash_recipe_marks_rise BEFORE UPDATE ON "
                   "posflash_recipe_marks FOR EACH ROW EXECUTE FUNCTION "
                   "posflash_recipe_marks_rise()"),
    // Those who may send records keep their marks.
    QStringLiteral(R"(DO $$
DECLARE
    holder text;
BEGIN
    FOR holder IN
        SELECT DISTINCT CASE WHEN a.grantee = 0 THEN 'PUBLIC' ELSE quote_ident(r.rolname) END
        FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) a
             LEFT JOIN pg_roles r ON r.oid = a.grantee
        WHERE c.oid = 'posflash_records'::regclass AND a.privilege_type = 'INSERT'
              AND a.grantee <> c.relowner
    LOOP
        EXECUTE 'GRANT SELECT, INSERT, UPDATE ON posflash_recipe_marks TO ' || holder;
    END LOOP;
END $$)"),
};
// Version 6: the server says who sent each row, and a station's role sends only its own
// station's rows (docs/records.md). inserted_by is the inserting role, set by a trigger whatever
// the client sent; rows already there get the role that runs this step. posflash_stations maps
// a role to its station (records grant-station); each role may read only its own mapping, which
// the insert policy reads as that role. Row-level security lets a role insert only rows whose
// station is its mapped one (a row without one takes it); reading stays as the grants say,
// and no policy allows an UPDATE or a DELETE. The table's owner is not bound by it: its rows
// count as they say (an import). The views count only the rows whose station is the one their
// role is mapped to, and a unit is its UUID within its station, so that a row another station
// sends with the same UUID is a unit of that station, not a change to this one.
const QStringList kStep6{
    QStringLiteral("ALTER TABLE posflash_records ADD COLUMN inserted_by text NOT NULL DEFAULT "
                   "current_user"),
    QStringLiteral("CREATE INDEX posflash_records_inserted_by ON posflash_records (inserted_by, "
                   "station)"),
    QStringLiteral(R"(CREATE TABLE posflash_stations (
    role text PRIMARY KEY,
    station text NOT NULL CHECK (station <> ''),
    granted_at timestamptz NOT NULL DEFAULT now(),
    granted_by text NOT NULL DEFAULT current_user))"),
    QStringLiteral("ALTER TABLE posflash_stations ENABLE ROW LEVEL SECURITY"),
    QStringLiteral("CREATE POLICY posflash_own_station ON posflash_stations FOR SELECT USING "
                   "(role = current_user)"),
    QStringLiteral("GRANT SELECT ON posflash_stations TO PUBLIC"),
    // A row without a station (the service window's) takes its role's: it is kept, and counted
    // where the server says, not where a client would.
    QStringLiteral(R"(CREATE FUNCTION posflash_records_inserted_by() RETURNS trigger
LANGUAGE plpgsql AS $$
BEGIN
    NEW.inserted_by := current_user;
    IF NEW.station IS NULL THEN
        NEW.station := (SELECT s.station FROM posflash_stations s WHERE s.role = current_user);
    END IF;
    RETURN NEW;
END $$)"),
    QStringLiteral("CREATE TRIGGER posflash_records_inserted_by BEFORE INSERT ON posflash_records "
                   "FOR EACH ROW EXECUTE FUNCTION posflash_records_inserted_by()"),
    QStringLiteral("ALTER TABLE posflash_records ENABLE ROW LEVEL SECURITY"),
    QStringLiteral("CREATE POLICY posflash_read ON posflash_records FOR SELECT USING (true)"),
    QStringLiteral(R"(CREATE POLICY posflash_own_station ON posflash_records FOR INSERT
WITH CHECK (station = (SELECT s.station FROM posflash_stations s WHERE s.role = current_user)))"),
    QStringLiteral(R"(CREATE VIEW posflash_counted_records AS
SELECT r.* FROM posflash_records r LEFT JOIN posflash_stations s ON s.role = r.inserted_by
WHERE s.role IS NULL OR s.station = r.station)"),
    UnitsPerStationView(QStringLiteral("posflash_counted_records")),
    ReportUnitsView(QStringLiteral("CREATE OR REPLACE VIEW"),
                    QStringLiteral("(array_agg(mode ORDER BY attempt, started_at, id))[1]"),
                    QStringLiteral("posflash_counted_records\nGROUP BY coalesce(station, "
                                   "sent_from), coalesce(unit, id::text)")),
    QStringLiteral(R"(CREATE OR REPLACE VIEW posflash_causes_day AS
SELECT coalesce(station, sent_from) AS station, started_at::date AS day,
       coalesce(nullif(cause, ''), '-') AS cause, count(*) AS failures
FROM posflash_counted_records
WHERE outcome IN ('failed', 'refused')
GROUP BY 1, 2, 3)"),
};
// Version 7: a unit is a printer that received a frame (docs/records.md). posflash_reached_records
// is posflash_counted_records without the attempts that ended before their printer received a
// frame (refusals of the file, the recipe, the label; the port's and the link's failures).
// posflash_units counts only those, so a unit none of whose attempts reached its printer is
// none, and the yields built on it follow. posflash_report_units keeps a row for such a unit,
// for its causes, with its yields taken from the attempts that reached the printer and two
// columns added: real_attempts (0: no unit) and real_failures (a port's failures).
// posflash_causes_day keeps counting every failure and refusal by cause. Like
// posflash_counted_records, the new view is read through the others, not granted.
const QString kReportYieldsV7 =
    QStringLiteral(
        R"(       coalesce((array_agg(outcome ORDER BY attempt, started_at, id) FILTER (WHERE %1))[1]
                    = 'completed', false) AS first_pass,
       coalesce((array_agg(outcome ORDER BY attempt DESC, started_at DESC, id DESC)
                     FILTER (WHERE %1))[1] = 'completed', false) AS passed,
)")
        .arg(QLatin1String(kReachedV7));
const QStringList kStep7{
    QStringLiteral(R"(CREATE VIEW posflash_reached_records AS
SELECT * FROM posflash_counted_records WHERE %1)")
        .arg(QLatin1String(kReachedV7)),
    UnitsPerStationView(QStringLiteral("posflash_reached_records")),
    ReportUnitsView(QStringLiteral("CREATE OR REPLACE VIEW"),
                    QStringLiteral("(array_agg(mode ORDER BY attempt, started_at, id))[1]"),
                    QStringLiteral("posflash_counted_records\nGROUP BY coalesce(station, "
                                   "sent_from), coalesce(unit, id::text)"),
                    kReportYieldsV7,
                    QStringLiteral(",\n       count(*) FILTER (WHERE %1) AS real_attempts,\n"
                                   "       count(*) FILTER (WHERE outcome IN ('failed', "
                                   "'refused') AND %1) AS real_failures")
                        .arg(QLatin1String(kReachedV7))),
};
// Version 8: which printer runs what (docs/records.md). Each row names the recipe's signed
// sequence. A printer is its MAC address (upper case, '-') on the network, else its USB serial,
// within its station: a station's role vouches for its own printers only, so a row that names
// another store's printer under its own station never touches that store's. From the counted
// rows, as the yields are: posflash_printer_images is each printer's last completed image;
// posflash_printer_recipes each printer's rows under each recipe (a NULL recipe: rows without
// one), for a rollout's compliance report. Those who read the yields read these and the
// published recipes, which name the image a recipe approves.
const QString kPrinterOfRow =
    QStringLiteral("upper(replace(nullif(mac, ''), ':', '-')) AS mac,\n"
                   "       CASE WHEN nullif(mac, '') IS NULL THEN nullif(usb_serial, '') END "
                   "AS usb_serial");
const QStringList kStep8{
    QStringLiteral("ALTER TABLE posflash_records ADD COLUMN recipe_sequence bigint"),
    // Its r.* was expanded when it was made: made again, it carries the new column last.
    QStringLiteral(R"(CREATE OR REPLACE VIEW posflash_counted_records AS
SELECT r.* FROM posflash_records r LEFT JOIN posflash_stations s ON s.role = r.inserted_by
WHERE s.role IS NULL OR s.station = r.station)"),
    QStringLiteral(R"(CREATE VIEW posflash_printer_rows AS
SELECT coalesce(station, sent_from) AS station,
       %1,
       id, started_at, outcome, cause, sha256, kind, recipe, recipe_sequence, recipe_key
FROM posflash_counted_records
WHERE nullif(mac, '') IS NOT NULL OR nullif(usb_serial, '') IS NOT NULL)")
        .arg(kPrinterOfRow),
    QStringLiteral(R"(CREATE VIEW posflash_printer_images AS
SELECT DISTINCT ON (station, mac, usb_serial)
       station, mac, usb_serial, recipe, recipe_sequence, recipe_key, sha256, kind, started_at
FROM posflash_printer_rows
WHERE outcome = 'completed'
ORDER BY station, mac, usb_serial, started_at DESC, id DESC)"),
    QStringLiteral(R"(CREATE VIEW posflash_printer_recipes AS
SELECT station, mac, usb_serial, recipe,
       count(*) AS attempts,
       count(*) FILTER (WHERE outcome = 'failed') AS failures,
       (array_agg(outcome ORDER BY started_at DESC, id DESC))[1] AS last_outcome,
       (array_agg(cause ORDER BY started_at DESC, id DESC))[1] AS last_cause,
       max(started_at) AS last_started_at
FROM posflash_printer_rows
GROUP BY station, mac, usb_serial, recipe)"),
    GrantToHoldersOf(QStringLiteral("posflash_yield_shift"), QStringLiteral("SELECT"),
                     QStringLiteral("posflash_printer_images, posflash_printer_recipes, "
                                    "posflash_recipes")),
};
const std::array<const QStringList*, 8> kSteps{&kStep1, &kStep2, &kStep3, &kStep4,
                                               &kStep5, &kStep6, &kStep7, &kStep8};

} // namespace

std::span<const RecordColumn> RecordColumns() {
    static const std::vector<RecordColumn> columns = [] {
        std::vector<RecordColumn> made;
        for (const RecordField& field : RecordFields())
            made.push_back({field.local, field.central, formOf(field.encoding), &field});
        return made;
    }();
    return columns;
}

int CentralSchemaVersion() {
    return static_cast<int>(kSteps.size());
}

Result<int> InitCentralSchema(PgLink& link, int upTo) {
    const auto failed = [&link](const PgAnswer& answer) {
        Error e = answer.error();
        link.exec(QStringLiteral("ROLLBACK"), QString());
        return e;
    };
    if (PgAnswer begun = link.exec(QStringLiteral("BEGIN"), QStringLiteral("cannot begin"));
        !begun.ok())
        return failed(begun);
    const QString reading = QStringLiteral("cannot read the schema version");
    for (const char* statement :
         {"CREATE TABLE IF NOT EXISTS posflash_schema (version integer PRIMARY KEY, applied_at "
          "timestamptz NOT NULL DEFAULT now())",
          "LOCK TABLE posflash_schema IN EXCLUSIVE MODE"})
        if (PgAnswer done = link.exec(QString::fromLatin1(statement), reading); !done.ok())
            return failed(done);
    PgAnswer version =
        link.exec(QStringLiteral("SELECT coalesce(max(version), 0) FROM posflash_schema"), reading);
    if (!version.ok())
        return failed(version);
    const int found = static_cast<int>(version.rows.number(0, 0, 0));
    for (int step = found; step < std::min(upTo, CentralSchemaVersion()); ++step) {
        for (const QString& statement : *kSteps[static_cast<size_t>(step)])
            if (PgAnswer made =
                    link.exec(statement, QStringLiteral("cannot make version %1").arg(step + 1));
                !made.ok())
                return failed(made);
        const PgValue next = PgValue::literal(QByteArray::number(step + 1));
        if (PgAnswer noted = link.exec(
                QStringLiteral("INSERT INTO posflash_schema (version) VALUES ($1)"),
                std::span(&next, 1), QStringLiteral("cannot note version %1").arg(step + 1));
            !noted.ok())
            return failed(noted);
    }
    if (PgAnswer committed = link.exec(QStringLiteral("COMMIT"), QStringLiteral("cannot commit"));
        !committed.ok())
        return failed(committed);
    return found;
}

Status CheckCentralSchema(PgLink& link, int needed) {
    PgAnswer q = link.exec(QStringLiteral("SELECT coalesce(max(version), 0) FROM posflash_schema"),
                           QStringLiteral("cannot read the schema"));
    if (!q.ok()) {
        Error e = q.error();
        if (e.is(ErrorDomain::Records, records_trouble::kNotSetUp))
            e.text = QStringLiteral("the database has no records table yet: run posflash-cli "
                                    "records init with the address of its owner");
        return e;
    }
    if (const qint64 version = q.rows.number(0, 0, 0); version < needed)
        return RecordsFailure(records_trouble::kNotSetUp,
                              QStringLiteral("the records schema is at version %1, this posflash "
                                             "needs %2: run posflash-cli records init")
                                  .arg(version)
                                  .arg(needed));
    return {};
}

PgAnswer CentralRules(PgLink& link) {
    return link.exec(QStringLiteral(R"(SELECT md5(concat_ws('|',
    (SELECT string_agg(attname || ' ' || format_type(atttypid, atttypmod) || ' ' || attnotnull::text,
                       ',' ORDER BY attnum)
     FROM pg_attribute WHERE attrelid = 'posflash_records'::regclass AND attnum > 0
         AND NOT attisdropped),
    (SELECT string_agg(conname || ' ' || pg_get_constraintdef(oid), ',' ORDER BY conname)
     FROM pg_constraint WHERE conrelid = 'posflash_records'::regclass),
    (SELECT string_agg(pg_get_triggerdef(t.oid) || ' ' || t.tgenabled::text || ' ' || md5(p.prosrc),
                       ',' ORDER BY t.tgname)
     FROM pg_trigger t JOIN pg_proc p ON p.oid = t.tgfoid
     WHERE t.tgrelid = 'posflash_records'::regclass AND NOT t.tgisinternal),
    (SELECT max(version)::text FROM posflash_schema))))"),
                     QStringLiteral("cannot read the table's rules"));
}

} // namespace posflash
