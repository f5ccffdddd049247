#include "records/central_schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <array>
#include <iterator>

namespace posflash {
namespace {

constexpr RecordColumn kColumns[] = {
    {"uuid", "id"},
    {"started_at", "started_at"},
    {"duration_ms", "duration_ms"},
    {"front_end", "front_end"},
    {"com_number", "com_number"},
    {"device_node", "device_node"},
    {"usb_path", "usb_path"},
    {"usb_serial", "usb_serial"},
    {"ip", "ip"},
    {"mac", "mac"},
    {"file_path", "file_path"},
    {"file_size", "file_size"},
    {"sha256", "sha256"},
    {"kind", "kind"},
    {"crc16", "crc16"},
    {"frames", "frames"},
    {"retries", "retries"},
    {"outcome", "outcome"},
    {"cause", "cause"},
    {"reason_en", "reason_en"},
    {"reason_zh", "reason_zh"},
    {"reason", "legacy_reason"},
    {"operator", "operator"},
    {"station", "station"},
    {"label", "label"},
    {"unit", "unit"},
    {"attempt", "attempt"},
    {"shift", "shift"},
};

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
    CREATE VIEW posflash_yield AS
    SELECT station, day,
           count(*) AS units,
           count(*) FILTER (WHERE first_pass) AS units_first_pass,
           count(*) FILTER (WHERE passed) AS units_passed,
           round(100.0 * count(*) FILTER (WHERE first_pass) / count(*), 1)
               AS first_pass_yield_percent,
           round(100.0 * count(*) FILTER (WHERE passed) / count(*), 1) AS final_yield_percent,
           sum(attempts)::bigint AS attempts
    FROM posflash_units
    GROUP BY station, day;
    CREATE VIEW posflash_yield_shift AS
    SELECT station, shift,
           min(started_at) AS first_started_at,
           count(*) AS units,
           count(*) FILTER (WHERE first_pass) AS units_first_pass,
           count(*) FILTER (WHERE passed) AS units_passed,
           round(100.0 * count(*) FILTER (WHERE first_pass) / count(*), 1)
               AS first_pass_yield_percent,
           round(100.0 * count(*) FILTER (WHERE passed) / count(*), 1) AS final_yield_percent,
           sum(attempts)::bigint AS attempts
    FROM posflash_units
    GROUP BY station, shift;
    FOREACH reader IN ARRAY readers LOOP
        EXECUTE 'GRANT SELECT ON posflash_units, posflash_yield, posflash_yield_shift TO '
                || reader;
    END LOOP;
END $$)"),
};
const std::array<const QStringList*, 2> kSteps{&kStep1, &kStep2};

bool isLoginRefusal(const QString& message) {
    return message.contains(QLatin1String("password authentication failed")) ||
           message.contains(QLatin1String("no password supplied")) ||
           message.contains(QLatin1String("pg_hba.conf")) ||
           (message.contains(QLatin1String("role \"")) &&
            message.contains(QLatin1String("does not exist"))) ||
           message.contains(QLatin1String("authentication failed"));
}

} // namespace

std::span<const RecordColumn> RecordColumns() {
    return kColumns;
}

int CentralSchemaVersion() {
    return static_cast<int>(kSteps.size());
}

RecordsError CentralError(const QSqlError& error, const QString& context) {
    const QString code = error.nativeErrorCode();
    // libpq's message, on one line: a FATAL of the server ends with a newline.
    const QString message = error.databaseText().simplified();
    const QString text = context + QStringLiteral(" (") +
                         (message.isEmpty() ? error.text().simplified() : message) +
                         QLatin1Char(')');
    if (code == QLatin1String("3D000") ||
        (code.isEmpty() && message.contains(QLatin1String("database \"")) &&
         message.contains(QLatin1String("does not exist"))))
        return {RecordsTrouble::NoDatabase, text};
    if (code.startsWith(QLatin1String("28")) || (code.isEmpty() && isLoginRefusal(message)))
        return {RecordsTrouble::LoginRefused, text};
    if (code == QLatin1String("42P01") || code == QLatin1String("42703"))
        return {RecordsTrouble::NotSetUp, text};
    if (code == QLatin1String("42501"))
        return {RecordsTrouble::Denied, text};
    return {RecordsTrouble::Offline, text};
}

CentralConnection::CentralConnection(const RecordsAddress& address)
    : address_(address),
      name_(QStringLiteral("posflash-records-%1").arg(reinterpret_cast<quintptr>(this), 0, 16)) {}

CentralConnection::~CentralConnection() {
    if (!QSqlDatabase::contains(name_))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

std::optional<RecordsError> CentralConnection::open() {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
    if (!db.isValid())
        return RecordsError{RecordsTrouble::Offline,
                            QStringLiteral("the PostgreSQL driver of Qt SQL is not installed (the "
                                           "package libqt6sql6-psql)")};
    db.setHostName(address_.host);
    db.setPort(address_.port);
    db.setUserName(address_.user);
    db.setPassword(address_.password);
    db.setDatabaseName(address_.database);
    db.setConnectOptions(address_.connectOptions());
    if (!db.open()) {
        RecordsError e = CentralError(db.lastError(), QString());
        const QString why = e.text.trimmed();
        switch (e.trouble) {
        case RecordsTrouble::LoginRefused:
            e.text = QStringLiteral("the server refused the login ") + why;
            break;
        case RecordsTrouble::NoDatabase:
            e.text = QStringLiteral("the server has no such database ") + why;
            break;
        default:
            e.trouble = RecordsTrouble::Offline;
            e.text = QStringLiteral("the server cannot be reached ") + why;
        }
        return e;
    }
    return std::nullopt;
}

QSqlDatabase CentralConnection::database() const {
    return QSqlDatabase::database(name_, false);
}

Result<int> InitCentralSchema(QSqlDatabase db) {
    QSqlQuery q(db);
    const auto failed = [&q](const QString& what) {
        const RecordsError e = CentralError(q.lastError(), what);
        q.exec(QStringLiteral("ROLLBACK"));
        return Error{static_cast<int>(e.trouble), e.text};
    };
    if (!q.exec(QStringLiteral("BEGIN")))
        return failed(QStringLiteral("cannot begin"));
    if (!q.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS posflash_schema (version integer "
                               "PRIMARY KEY, applied_at timestamptz NOT NULL DEFAULT now())")) ||
        !q.exec(QStringLiteral("LOCK TABLE posflash_schema IN EXCLUSIVE MODE")) ||
        !q.exec(QStringLiteral("SELECT coalesce(max(version), 0) FROM posflash_schema")) ||
        !q.next())
        return failed(QStringLiteral("cannot read the schema version"));
    const int found = q.value(0).toInt();
    for (int step = found; step < CentralSchemaVersion(); ++step) {
        for (const QString& statement : *kSteps[static_cast<size_t>(step)])
            if (!q.exec(statement))
                return failed(QStringLiteral("cannot make version %1").arg(step + 1));
        if (!q.exec(
                QStringLiteral("INSERT INTO posflash_schema (version) VALUES (%1)").arg(step + 1)))
            return failed(QStringLiteral("cannot note version %1").arg(step + 1));
    }
    if (!q.exec(QStringLiteral("COMMIT")))
        return failed(QStringLiteral("cannot commit"));
    return found;
}

std::optional<RecordsError> CheckCentralSchema(QSqlDatabase db) {
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT coalesce(max(version), 0) FROM posflash_schema")) ||
        !q.next()) {
        RecordsError e = CentralError(q.lastError(), QStringLiteral("cannot read the schema"));
        if (e.trouble == RecordsTrouble::NotSetUp)
            e.text = QStringLiteral("the database has no records table yet: run posflash-cli "
                                    "records init with the address of its owner");
        return e;
    }
    if (const int version = q.value(0).toInt(); version < CentralSchemaVersion())
        return RecordsError{RecordsTrouble::NotSetUp,
                            QStringLiteral("the records schema is at version %1, this posflash "
                                           "needs %2: run posflash-cli records init")
                                .arg(version)
                                .arg(CentralSchemaVersion())};
    return std::nullopt;
}

} // namespace posflash
