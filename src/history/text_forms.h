#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QString>

#include <optional>

namespace posflash {

// Whether bytes are UTF-8 that Qt's decoder gives back unchanged (no overlong forms, no
// surrogates, nothing replaced).
bool IsUtf8(const QByteArray& bytes);

// A text as JSON: null when empty.
QJsonValue TextOrNull(const QString& text);

// A file name's bytes as one line of text: UTF-8 as it is, a backslash, a control character
// or a byte that is no UTF-8 escaped (\\, \n, \t, \r, \xNN).
QString EscapedName(const QByteArray& name);
// The bytes EscapedName turned into text; nothing when the text holds an escape it never
// writes.
std::optional<QByteArray> UnescapedName(const QString& text);

} // namespace posflash
