#pragma once

#include "history/history_store.h"

#include <QJsonObject>
#include <QVariant>

#include <limits>
#include <optional>
#include <span>
#include <variant>

namespace posflash {

// How a record's field is kept in the local table, the line's table and the JSON of the
// journal and of history --json.
enum class FieldEncoding {
    Uuid,     // the record's key, a UUID's text (the line's column is a uuid)
    Time,     // UTC ISO 8601 with milliseconds: as text it sorts in time order
    Duration, // milliseconds; JSON: seconds
    Integer,  // NULL / null below least when absent < least
    Text,     // NULL / null when empty, unless required
    Bytes,    // TEXT when UTF-8, else a BLOB (bytea); JSON: the escaped text, and the bytes in
              // base64 at <key>_base64 when they are no UTF-8
    Hex,      // bytes as lower-case hex; NULL / null when empty
};

// One field of a download record: its local column, the line's column, its JSON key, and
// where it lives in HistoryRecord.
struct RecordField {
    // The record's own members, and the fields of its printer.
    using Member = std::variant<QString HistoryRecord::*, QByteArray HistoryRecord::*,
                                QDateTime HistoryRecord::*, qint64 HistoryRecord::*,
                                int HistoryRecord::*, QString Printer::*, int Printer::*>;
    const char* local;
    const char* central;
    const char* json;
    FieldEncoding encoding;
    Member member;
    // Integer and Duration: the values a record has, and the value that means none. Hex: the
    // byte count.
    qint64 least = 0;
    qint64 most = std::numeric_limits<int>::max();
    qint64 absent = 0;
    // Text: what a value must be (empty passes unless required); required texts are never
    // NULL.
    bool (*accepts)(const QString&) = nullptr;
    bool required = false;
    // A key the journals of older builds lack: missing, it reads as absent.
    bool laterKey = false;

    bool nullable() const { return absent < least; }
};

// Every field, in the order of the columns and of the JSON schema.
std::span<const RecordField> RecordFields();

// A field's value as the local table keeps it (NULL when absent), and back from what SQLite
// (or the line's server, read as the local table keeps it) gives.
QVariant StoredValue(const RecordField& field, const HistoryRecord& record);
void SetStored(const RecordField& field, HistoryRecord& record, const QVariant& value);
// A time as the local table keeps it: UTC with milliseconds, so that as text it sorts in time
// order.
QString StoredTime(const QDateTime& time);

// A record as history --json and the journal spell it, and back. A JSON object that its
// writer could not have made (a field missing, of another type or out of its range) gives
// nothing.
QJsonObject JsonOf(const HistoryRecord& record);
QByteArray JsonLineOf(const HistoryRecord& record);
std::optional<HistoryRecord> RecordOfJson(const QJsonObject& object);
// The key that carries the bytes of a Bytes field that are no UTF-8.
QString Base64KeyOf(const RecordField& field);

bool IsUuid(const QString& text);

} // namespace posflash
