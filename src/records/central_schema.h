#pragma once

#include "base/error.h"
#include "records/records_address.h"

#include <QSqlDatabase>
#include <QString>

#include <span>

namespace posflash {

// A column of the local history and the line's table it goes to. One list for both, so that a
// column the local history gains is sent (and a test finds one that is missing here).
struct RecordColumn {
    const char* local;
    const char* central;
};
std::span<const RecordColumn> RecordColumns();

// The line's tables and views, with the schema's own names: they share a database with others.
inline constexpr const char* kRecordsTable = "posflash_records";
inline constexpr const char* kSchemaTable = "posflash_schema";
inline constexpr const char* kYieldView = "posflash_yield";

// Why the line's server did not take a connection or a statement. A refusal stays until someone
// changes the address or the server; an outage ends by itself.
enum class RecordsTrouble {
    None,
    Offline,      // not reachable, timed out, connection lost
    LoginRefused, // wrong password, unknown role, pg_hba.conf
    NoDatabase,   // the database named does not exist
    NotSetUp,     // no records table yet, or an older schema: records init
    Denied,       // the role may not insert or read the records
    Local,        // the local history could not be read or marked
};

struct RecordsError {
    RecordsTrouble trouble = RecordsTrouble::None;
    QString text; // what happened, for a warning; never the password
};

// One named connection to the line's database on the calling thread, closed and removed when
// this goes. Opening blocks for at most the address's connect_timeout.
class CentralConnection {
public:
    explicit CentralConnection(const RecordsAddress& address);
    ~CentralConnection();
    CentralConnection(const CentralConnection&) = delete;
    CentralConnection& operator=(const CentralConnection&) = delete;

    std::optional<RecordsError> open();
    QSqlDatabase database() const;

private:
    RecordsAddress address_;
    QString name_;
};

// Classifies an error of the PostgreSQL driver: its SQLSTATE where a statement failed, libpq's
// message where the connection did.
RecordsError CentralError(const QSqlError& error, const QString& context);

// The schema version this build writes; the line's database must have at least this one.
int CentralSchemaVersion();

// Brings the line's schema up to date, one step per version in one transaction under a lock,
// so that two stations running init at once do it once. Returns the version found before.
Result<int> InitCentralSchema(QSqlDatabase db);

// Whether the line's database is ready for this build's rows.
std::optional<RecordsError> CheckCentralSchema(QSqlDatabase db);

} // namespace posflash
