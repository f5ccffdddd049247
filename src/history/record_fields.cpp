#include "history/record_fields.h"

#include "history/text_forms.h"

#include <QJsonDocument>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace posflash {
namespace {

using R = HistoryRecord;
using P = Printer;
using E = FieldEncoding;

template <const QStringList& (*values)()>
bool oneOf(const QString& text) {
    return values().contains(text);
}
bool isSha256Hex(const QString& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](QChar c) {
               return (c >= 'a' && c <= 'f') || (c >= '0' && c <= '9');
           });
}
bool isCauseCode(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

constexpr qint64 kAny = std::numeric_limits<qint64>::max();
// A double holds every millisecond count up to this exactly.
constexpr qint64 kMostMs = qint64{1} << 53;

// Each field: its local column, the line's column, its JSON key, its encoding and its member;
// then a number's least, most and absent value, or a text's rule and whether it is required.
// clang-format off
const RecordField kFields[] = {
    {"uuid",        "id",            "uuid",          E::Uuid,     &R::uuid,         0, 0, 0, IsUuid, true},
    {"started_at",  "started_at",    "started",       E::Time,     &R::startedAt},
    {"duration_ms", "duration_ms",   "seconds",       E::Duration, &R::milliseconds, 0, kMostMs},
    {"front_end",   "front_end",     "front_end",     E::Text,     &R::frontEnd,     0, 0, 0, oneOf<HistoryStore::frontEnds>, true},
    {"com_number",  "com_number",    "com",           E::Integer,  &P::comNumber,    1, 255},
    {"device_node", "device_node",   "device",        E::Text,     &P::node}      ,
    {"usb_path",    "usb_path",      "usb_path",      E::Text,     &P::usbPath},
    {"usb_serial",  "usb_serial",    "usb_serial",    E::Text,     &P::usbSerial},
    {"ip",          "ip",            "ip",            E::Text,     &P::ip},
    {"mac",         "mac",           "mac",           E::Text,     &P::mac},
    {"file_path",   "file_path",     "path",          E::Bytes,    &R::filePath},
    {"file_size",   "file_size",     "size",          E::Integer,  &R::fileSize,     0, kAny, -1},
    {"sha256",      "sha256",        "sha256",        E::Hex,      &R::sha256,       32, 32},
    {"kind",        "kind",          "kind",          E::Text,     &R::kind,         0, 0, 0, oneOf<HistoryStore::kinds>, true},
    {"crc16",       "crc16",         "crc16",         E::Integer,  &R::crc16,        0, 0xFFFF, -1},
    {"frames",      "frames",        "frames",        E::Integer,  &R::frames},
    {"retries",     "retries",       "retries",       E::Integer,  &R::retries},
    {"outcome",     "outcome",       "outcome",       E::Text,     &R::outcome,      0, 0, 0, oneOf<HistoryStore::outcomes>, true},
    {"cause",       "cause",         "cause",         E::Text,     &R::cause,        0, 0, 0, isCauseCode},
    {"reason_en",   "reason_en",     "reason_en",     E::Text,     &R::reasonEn},
    {"reason_zh",   "reason_zh",     "reason_zh",     E::Text,     &R::reasonZh},
    {"reason",      "legacy_reason", "legacy_reason", E::Text,     &R::legacyReason},
    {"operator",    "operator",      "operator",      E::Text,     &R::operatorName},
    {"station",     "station",       "station",       E::Text,     &R::station},
    {"label",       "label",         "label",         E::Text,     &R::label},
    {"unit",        "unit",          "unit",          E::Text,     &R::unit,         0, 0, 0, IsUuid},
    {"attempt",     "attempt",       "attempt",       E::Integer,  &R::attempt,      1},
    {"shift",       "shift",         "shift",         E::Text,     &R::shift,        0, 0, 0, IsUuid},
    {"recipe",      "recipe",        "recipe",        E::Text,     &R::recipe,       0, 0, 0, nullptr, false, true},
    {"recipe_sha256", "recipe_sha256", "recipe_sha256", E::Text,   &R::recipeSha256, 0, 0, 0, isSha256Hex, false, true},
    {"recipe_key",  "recipe_key",    "recipe_key",    E::Text,     &R::recipeKey,    0, 0, 0, nullptr, false, true},
    {"mode",        "mode",          "mode",          E::Text,     &R::mode,         0, 0, 0, oneOf<HistoryStore::modes>, false, true},
    {"recipe_sequence", "recipe_sequence", "recipe_sequence", E::Integer, &R::recipeSequence, 0, kMostMs, -1, nullptr, false, true},
};
// clang-format on

// A field of the record itself, or of its printer.
template <typename T, typename Record>
auto& member(const RecordField& field, Record& record) {
    if constexpr (std::is_same_v<T, QString>)
        if (const auto* m = std::get_if<QString P::*>(&field.member))
            return record.printer.**m;
    return record.*std::get<T R::*>(field.member);
}

qint64 integerOf(const RecordField& field, const R& record) {
    if (const auto* m = std::get_if<int P::*>(&field.member))
        return record.printer.**m;
    if (const auto* m = std::get_if<int R::*>(&field.member))
        return record.**m;
    return member<qint64>(field, record);
}

void setInteger(const RecordField& field, R& record, qint64 value) {
    if (const auto* m = std::get_if<int P::*>(&field.member))
        record.printer.** m = static_cast<int>(value);
    else if (const auto* m = std::get_if<int R::*>(&field.member))
        record.** m = static_cast<int>(value);
    else
        member<qint64>(field, record) = value;
}

bool isAbsent(const RecordField& field, qint64 value) {
    return field.nullable() && value < field.least;
}

// A NOT NULL column's text: a null QString would be bound as NULL, and a row the table never
// takes would stay in the journal for ever.
QVariant notNull(const QString& text) {
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

// An absent value is stored as NULL, so that the file reads plainly in any SQLite tool.
QVariant orNull(const QString& text) {
    return text.isEmpty() ? QVariant() : QVariant(text);
}

QJsonValue jsonValueOf(const RecordField& field, const R& r) {
    switch (field.encoding) {
    case E::Uuid:
    case E::Text: {
        const QString& text = member<QString>(field, r);
        return field.required ? QJsonValue(text) : TextOrNull(text);
    }
    case E::Time:
        return StoredTime(member<QDateTime>(field, r));
    case E::Duration:
        return static_cast<double>(integerOf(field, r)) / 1000;
    case E::Integer: {
        const qint64 value = integerOf(field, r);
        return isAbsent(field, value) ? QJsonValue() : QJsonValue(value);
    }
    case E::Bytes:
        return EscapedName(member<QByteArray>(field, r));
    case E::Hex:
        return TextOrNull(QString::fromLatin1(member<QByteArray>(field, r).toHex()));
    }
    return {};
}

// The integer a JSON number is, when it is one in [least, most].
std::optional<qint64> integerIn(const QJsonValue& value, qint64 least, qint64 most) {
    const double number = value.toDouble(std::nan(""));
    // A double holds every integer of these ranges but the largest qint64s, which no record has.
    if (!value.isDouble() || std::trunc(number) != number || number < static_cast<double>(least) ||
        number > static_cast<double>(most))
        return std::nullopt;
    return static_cast<qint64>(number);
}

// Sets the field from its JSON value; false when the writer could not have written it.
bool setJson(const RecordField& field, R& r, const QJsonObject& object) {
    const QJsonValue value = object.value(QLatin1String(field.json));
    const QString text = value.toString();
    switch (field.encoding) {
    case E::Uuid:
    case E::Text:
        member<QString>(field, r) = text;
        if ((value.isNull() || (value.isUndefined() && field.laterKey)) && !field.required)
            return true;
        return value.isString() && !text.isEmpty() && (!field.accepts || field.accepts(text));
    case E::Time:
        member<QDateTime>(field, r) = QDateTime::fromString(text, Qt::ISODateWithMs);
        return value.isString() && member<QDateTime>(field, r).isValid();
    case E::Duration: {
        const double seconds = value.toDouble(-1);
        if (!value.isDouble() || seconds < 0 || seconds > static_cast<double>(field.most) / 1000)
            return false;
        const qint64 ms = std::llround(seconds * 1000);
        setInteger(field, r, ms);
        return static_cast<double>(ms) / 1000 == seconds;
    }
    case E::Integer: {
        if ((value.isNull() || (value.isUndefined() && field.laterKey)) && field.nullable()) {
            setInteger(field, r, field.absent);
            return true;
        }
        const std::optional<qint64> number = integerIn(value, field.least, field.most);
        setInteger(field, r, number.value_or(field.absent));
        return number.has_value();
    }
    case E::Bytes: {
        const QJsonValue base64 = object.value(Base64KeyOf(field));
        std::optional<QByteArray> bytes;
        if (base64.isString()) {
            const QByteArray given = base64.toString().toLatin1();
            auto decoded =
                QByteArray::fromBase64Encoding(given, QByteArray::AbortOnBase64DecodingErrors);
            if (decoded && decoded.decoded.toBase64() == given && !IsUtf8(decoded.decoded))
                bytes = decoded.decoded;
        } else if (base64.isUndefined()) {
            bytes = UnescapedName(text);
            if (bytes && !IsUtf8(*bytes))
                bytes.reset();
        }
        member<QByteArray>(field, r) = bytes.value_or(QByteArray());
        return value.isString() && bytes && EscapedName(*bytes) == text;
    }
    case E::Hex: {
        QByteArray& bytes = member<QByteArray>(field, r);
        bytes = QByteArray::fromHex(text.toLatin1());
        if (value.isNull())
            return true;
        return value.isString() && bytes.size() >= field.least && bytes.size() <= field.most &&
               QString::fromLatin1(bytes.toHex()) == text;
    }
    }
    return false;
}

} // namespace

std::span<const RecordField> RecordFields() {
    return kFields;
}

bool IsUuid(const QString& text) {
    const QUuid uuid(text);
    return !uuid.isNull() && uuid.toString(QUuid::WithoutBraces) == text;
}

QString StoredTime(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs);
}

QString Base64KeyOf(const RecordField& field) {
    return QLatin1String(field.json) + QStringLiteral("_base64");
}

QVariant StoredValue(const RecordField& field, const HistoryRecord& record) {
    switch (field.encoding) {
    case E::Uuid:
        return member<QString>(field, record);
    case E::Text: {
        const QString& text = member<QString>(field, record);
        return field.required ? notNull(text) : orNull(text);
    }
    case E::Time:
        return notNull(StoredTime(member<QDateTime>(field, record)));
    case E::Duration:
    case E::Integer: {
        const qint64 value = integerOf(field, record);
        return isAbsent(field, value) ? QVariant() : QVariant(value);
    }
    case E::Bytes: {
        const QByteArray& bytes = member<QByteArray>(field, record);
        return IsUtf8(bytes) ? notNull(QString::fromUtf8(bytes)) : QVariant(bytes);
    }
    case E::Hex:
        return orNull(QString::fromLatin1(member<QByteArray>(field, record).toHex()));
    }
    return {};
}

void SetStored(const RecordField& field, HistoryRecord& record, const QVariant& value) {
    switch (field.encoding) {
    case E::Uuid:
    case E::Text:
        member<QString>(field, record) = value.toString();
        break;
    case E::Time:
        member<QDateTime>(field, record) =
            QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
        break;
    case E::Duration:
    case E::Integer:
        setInteger(field, record, value.isNull() ? field.absent : value.toLongLong());
        break;
    case E::Bytes:
        // A BLOB comes back as bytes, a TEXT as a string.
        member<QByteArray>(field, record) = value.typeId() == QMetaType::QByteArray
                                                ? value.toByteArray()
                                                : value.toString().toUtf8();
        break;
    case E::Hex:
        member<QByteArray>(field, record) = QByteArray::fromHex(value.toString().toLatin1());
        break;
    }
}

QJsonObject JsonOf(const HistoryRecord& record) {
    QJsonObject object;
    for (const RecordField& field : kFields) {
        object.insert(QLatin1String(field.json), jsonValueOf(field, record));
        // The escaped text cannot always be turned back into the name: the bytes can.
        if (field.encoding == E::Bytes && !IsUtf8(member<QByteArray>(field, record)))
            object.insert(Base64KeyOf(field),
                          QString::fromLatin1(member<QByteArray>(field, record).toBase64()));
    }
    return object;
}

QByteArray JsonLineOf(const HistoryRecord& record) {
    return QJsonDocument(JsonOf(record)).toJson(QJsonDocument::Compact);
}

std::optional<HistoryRecord> RecordOfJson(const QJsonObject& object) {
    HistoryRecord record;
    for (const RecordField& field : kFields)
        if (!setJson(field, record, object))
            return std::nullopt;
    return record;
}

} // namespace posflash
