#pragma once

#include "recipe/minisign.h"
#include "recipe/recipe.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace posflash {

// Why a station refuses to run under a recipe, or to run a unit under it.
enum class RecipeCause {
    None,
    Signature,    // no signature, or one that does not verify
    UntrustedKey, // signed by a key the station does not trust
    Invalid,      // signed, but not a recipe this program reads
    Expired,
    Image,      // the image differs from the approved one (ImageMismatch says how)
    Target,     // the unit is on a port the recipe does not allow
    Label,      // the label is missing or does not match the pattern (LabelMismatch)
    Name,       // the signed recipe is named otherwise than the name asked for
    Rollback,   // its sequence is below the highest this station has verified for the name
    Unreadable, // the recipe file or its signature cannot be read (mistyped, no right)
};

// The stable code of a cause, as JSON events and records carry it: "recipe-signature",
// "recipe-untrusted-key", "recipe-invalid", "recipe-expired", "recipe-image", "recipe-target",
// "recipe-label", "recipe-name", "recipe-rollback", "recipe-unreadable"; "" for None.
QString RecipeCauseName(RecipeCause cause);

enum class ImageMismatch { None, Hash, Size, Kind };
enum class LabelMismatch { None, Missing, Pattern };

// The image as it will be sent, hashed once when it was read.
struct RecipeImage {
    qint64 size = 0;
    QByteArray sha256;
    ImageKind kind = ImageKind::Program;
    QString name; // the file's name, for a refusal to point at; empty: "the image"
};

// Every name the unit's port is known by: its COM name, device path, USB path, MAC address.
struct RecipeTarget {
    QStringList names;
};

// A recipe whose signature verified under a trusted key.
struct ApprovedRecipe {
    Recipe recipe;
    QString signerKeyId;          // as minisign prints it
    QString trustedComment;       // the signer's, verified
    QString recipeSha256;         // of the recipe file, in hex: which approval a record ran under
    QString keyFile;              // the trusted key's file: which folder vouched
    bool byAdministrator = false; // the key is of the folder that approves production
};

// A check's outcome: the approved recipe, or the cause with what differed.
struct RecipeVerdict {
    RecipeCause cause = RecipeCause::None;
    ImageMismatch image = ImageMismatch::None;
    LabelMismatch label = LabelMismatch::None;
    QString detail; // English, with the values that differed; empty when ok
    // The detail's words (in the "RecipeTexts" context) and the values for their %1, %2…, so
    // that each face says it in its own language; none when detail is a lower layer's English.
    const char* detailWords = nullptr;
    QStringList detailValues;
    std::optional<ApprovedRecipe> approved;

    bool ok() const { return cause == RecipeCause::None; }
};

// A verdict that refuses for cause, with the detail that says what was found.
RecipeVerdict RecipeRefusal(RecipeCause cause, const QString& detail = {});
// The same, with a detail of our own words (QT_TRANSLATE_NOOP) and its values.
RecipeVerdict RecipeRefusal(RecipeCause cause, const char* words, const QStringList& values);

// The recipe file named, or its signature, could not be read: which, and why, in our words.
RecipeVerdict UnreadableRecipe(const QString& path);

// words with %1, %2… replaced by values in one pass, so that a value holding "%2" stays as it is.
QString FilledDetail(const QString& words, const QStringList& values);

// The recipe's signature, its key, its form and its expiry: what holds for the whole run. A
// production recipe needs a key that approves production (TrustedKeys). On success, approved
// is set.
RecipeVerdict VerifyRecipe(const QByteArray& recipe, const std::optional<QByteArray>& signature,
                           const std::vector<MinisignPublicKey>& trustedKeys, const QDateTime& now);

// The image against the approved one: hash, size and kind.
RecipeVerdict CheckRecipeImage(const Recipe& recipe, const RecipeImage& image);

// Whether the recipe allows a unit on target (any, when it names no targets).
RecipeVerdict CheckRecipeTarget(const Recipe& recipe, const RecipeTarget& target);

// The scanned label: present when required, and wholly matching the pattern when there is one.
RecipeVerdict CheckRecipeLabel(const Recipe& recipe, const QString& label);

} // namespace posflash
