#pragma once

#include "base/error.h"
#include "records/pg_link.h"

#include <QString>

#include <optional>

namespace posflash {

// The role a connection logged in as, and the station the line grants it (posflash_stations).
struct RoleStation {
    QString role;
    QString station;    // empty: none granted
    bool bound = false; // the line binds roles to stations (schema kStationRolesVersion on)
};

// As the connected role sees it: a role reads only its own mapping.
Result<RoleStation> StationOfRole(PgLink& link);

// Whether an insert refused for want of rights (records_trouble::kDenied) was refused by the
// row-level security rather than by the grants: the role holds INSERT. Asked of the server, not
// read from its words, which come in the server's language.
Result<bool> RefusedByRowSecurity(PgLink& link, const Status& inserted);

// The text a station's user sees when its role holds INSERT but no station.
QString NotGrantedStationText(const QString& role);

// A name as an SQL identifier, quoted whatever it holds.
QString QuotedIdentifier(const QString& name);

// As the database's owner: maps role to station and grants it what a station needs (INSERT and
// SELECT on the records, SELECT on the schema table, the views and the recipes), in one
// transaction. Refuses an unknown role, one that row-level security does not bind (a
// superuser, BYPASSRLS, the table's owner or a member of it), one granted another station, and
// one that has sent rows of another station (they would stop counting).
Status GrantStation(PgLink& link, const QString& role, const QString& station);

// As the owner: unmaps the role and revokes what GrantStation grants. Returns the station it
// had, if any.
Result<std::optional<QString>> RevokeStation(PgLink& link, const QString& role);

} // namespace posflash
