#pragma once

#include "base/error.h"
#include "base/image_kind.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace posflash {

// The recipe file's schema version (docs/recipe.schema.json). Version 1 still reads, as
// sequence 0.
inline constexpr int kRecipeVersion = 2;

enum class RecipeMode { Production, Engineering };

// "program", "font"; "production", "engineering": the file's words.
const char* ImageKindName(ImageKind kind);
const char* RecipeModeName(RecipeMode mode);

// One approved image and the rules a station runs it under. Made once by a line engineer,
// signed, and enforced by every station.
struct Recipe {
    QString name;
    // Rises with each approval of the name: a station never runs one lower than it has verified.
    std::int64_t sequence = 0;
    QByteArray imageSha256; // 32 bytes
    std::int64_t imageSize = 0;
    ImageKind imageKind = ImageKind::Program;
    RecipeMode mode = RecipeMode::Production;
    std::optional<QDateTime> expires;
    // The ports a unit may be on (COM names, device paths, USB paths, MAC addresses); empty:
    // any.
    QStringList targets;
    // A regular expression the whole label must match; empty: any label.
    QString labelPattern;
    std::optional<int> retries;
    bool labelRequired = false;

    bool operator==(const Recipe&) const = default;
};

// The codes of ErrorDomain::Recipe.
enum class RecipeError {
    NotJson = 1,      // not a JSON object
    BadField,         // a key we do not know, a missing key, or a value of the wrong type or range
    BadVersion,       // a schema version this program does not read
    BadPublicKey,     // a minisign public key file
    BadSignatureFile, // a minisign signature file
    BadSecretKey,     // a minisign secret key file, or its password
    SignatureInvalid, // the signature does not match
    FileAccess,       // a file that cannot be read or written
};

// The recipe in bytes; anything not in the schema is refused with the key it concerns.
Result<Recipe> ParseRecipe(const QByteArray& json);

// The recipe as its file holds it: indented JSON, keys in a fixed order, unset keys left out.
QByteArray WriteRecipe(const Recipe& recipe);

// An ISO 8601 time with its offset ("2027-03-01T06:00:00+08:00", "…Z"): a recipe's expiry
// must mean one instant at every station, whatever the station's own time zone.
std::optional<QDateTime> ParseRecipeTime(const QString& text);

// The form a target name is compared in: MAC addresses in upper case with '-', COM names in
// upper case, paths as they are.
QString NormalTargetName(const QString& target);

} // namespace posflash
