#pragma once

#include "base/error.h"
#include "history/record_fields.h"
#include "records/pg_link.h"

#include <QString>

#include <span>

namespace posflash {

// A column of the local history and the line's table it goes to, from the record's fields, so
// that a column the local history gains is sent (and a test finds one that is missing here).
struct RecordColumn {
    enum class Form {
        Literal, // a number, a time or a UUID, in its text form
        Text,
        Bytes,
    };
    const char* local;
    const char* central;
    Form form;
    const RecordField* field;
};
std::span<const RecordColumn> RecordColumns();

// The line's tables and views, with the schema's own names: they share a database with others.
inline constexpr const char* kRecordsTable = "posflash_records";
inline constexpr const char* kSchemaTable = "posflash_schema";
inline constexpr const char* kYieldView = "posflash_yield";
inline constexpr const char* kReportUnitsView = "posflash_report_units";
inline constexpr const char* kRecipesTable = "posflash_recipes";
inline constexpr const char* kStationsTable = "posflash_stations";
inline constexpr const char* kPrinterImagesView = "posflash_printer_images";
inline constexpr const char* kPrinterRecipesView = "posflash_printer_recipes";

// The schema version this build writes; the line's database must have at least this one.
int CentralSchemaVersion();

// Brings the line's schema up to date, one step per version in one transaction under a lock,
// so that two stations running init at once do it once. Returns the version found before.
// Stops at version upTo (a test makes an older line's schema so).
Result<int> InitCentralSchema(PgLink& link, int upTo = CentralSchemaVersion());

// The version whose records table this build sends and reads (the recipe's sequence came last).
// Later steps add only views, so a station still syncs with a line whose owner has not yet run
// a newer init.
inline constexpr int kRecordsTableVersion = 8;

// The version from which the server records who inserted each row and binds a role to its
// station (posflash_stations, row-level security on the records).
inline constexpr int kStationRolesVersion = 6;

// Whether the line's database is at version needed or later: the records table's for the
// sync, the whole schema's for what reads the views.
Status CheckCentralSchema(PgLink& link, int needed = CentralSchemaVersion());

// A digest of what decides whether the line's table takes a row: its columns and their types,
// its constraints and triggers, the schema version. A row the server refused is tried again
// once this changes. One row, one column: the digest.
PgAnswer CentralRules(PgLink& link);

} // namespace posflash
