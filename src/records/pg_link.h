#pragma once

#include "base/error.h"
#include "records/records_address.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>
#include <span>

struct pg_conn;
struct pg_result;

namespace posflash {

// Why the line's server did not take a connection or a statement: the codes of the Records
// domain. A refusal stays until someone changes the address or the server; an outage ends by
// itself.
namespace records_trouble {
inline constexpr int kOffline = 1;      // not reachable, timed out, connection lost
inline constexpr int kLoginRefused = 2; // wrong password, unknown role, pg_hba.conf
inline constexpr int kNoDatabase = 3;   // the database named does not exist
inline constexpr int kNotSetUp = 4;     // no records table yet, or an older schema: records init
inline constexpr int kDenied = 5;       // the role may not insert or read the records
inline constexpr int kLocal = 6;        // the local history could not be read or marked
inline constexpr int kRowRefused = 7;   // the server's rules refuse a value of a row
} // namespace records_trouble

// A trouble with what happened, for a warning (never the password), and the server's own words,
// with the column they name where it says.
Error RecordsFailure(int trouble, QString text, QString serverWords = {});

// Whether the status failed with that trouble.
inline bool HasTrouble(const Status& status, int trouble) {
    return !status && status.error().is(ErrorDomain::Records, trouble);
}

// One value of a statement. A text or bytes value goes in the binary format with its length, so
// the server gets its bytes exactly as they are: one it cannot hold (a NUL in a text, a name
// that is no UTF-8) is refused by the server, never cut short on the way.
struct PgValue {
    enum class Kind { Null, Literal, Raw };
    Kind kind = Kind::Null;
    QByteArray bytes;

    static PgValue null() { return {}; }
    // In the type's text form: numbers, times, UUIDs.
    static PgValue literal(QByteArray text) { return {Kind::Literal, std::move(text)}; }
    // The value's own bytes for a text or bytea column.
    static PgValue raw(QByteArray bytes) { return {Kind::Raw, std::move(bytes)}; }
};

// The rows a statement returned, in the text format.
class PgRows {
public:
    int count() const;
    bool isNull(int row, int column) const;
    QString text(int row, int column) const;
    qint64 number(int row, int column, qint64 absent) const;

private:
    friend class PgLink;
    std::shared_ptr<pg_result> result_;
};

struct PgAnswer {
    Status status;
    PgRows rows;
    bool ok() const { return status.ok(); }
    const Error& error() const { return status.error(); }
};

struct PgLinkOptions {
    // The server ends a statement after this (its statement_timeout).
    int statementMs = 10000;
    // The client gives a statement this much longer, then drops the connection: a server or a
    // network that stalls mid-statement ends the wait within this bound, whatever the socket does.
    int slackMs = 5000;
};

// One connection to the line's database through libpq. Every wait (the connect, each statement)
// has a deadline kept here with poll(2): the connection is non-blocking, so neither a silent
// server, a half-open socket nor a stalled proxy outlives it. Blocks the calling thread.
class PgLink {
public:
    explicit PgLink(RecordsAddress address, PgLinkOptions options = {});
    ~PgLink();
    PgLink(const PgLink&) = delete;
    PgLink& operator=(const PgLink&) = delete;

    // Within the address's connect_timeout.
    Status open();
    // One statement ($1, $2 … for the values); the error's text starts with context.
    PgAnswer exec(const QString& sql, std::span<const PgValue> values, const QString& context);
    PgAnswer exec(const QString& sql, const QString& context) { return exec(sql, {}, context); }

private:
    void drop();

    RecordsAddress address_;
    PgLinkOptions options_;
    pg_conn* conn_ = nullptr;
};

} // namespace posflash
