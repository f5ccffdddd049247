#pragma once

#include "base/error.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace posflash {

// What a recipe file and its signature may weigh: anything larger is no recipe of ours.
inline constexpr qint64 kMaxRecipeBytes = 1024 * 1024;
inline constexpr qint64 kMaxSignatureBytes = 16 * 1024;

// A small file read whole, or why not (RecipeError::FileAccess); nullopt when it does not exist.
Result<std::optional<QByteArray>> ReadSmallFile(const QString& path, qint64 maxBytes);

// A recipe file and the signature beside it (RECIPE.minisig), as read.
struct RecipeFiles {
    QByteArray recipe;
    std::optional<QByteArray> signature; // nullopt: there is no .minisig
};

// The recipe at path and path.minisig. A recipe that is missing or unreadable, or a signature
// that exists but cannot be read, is an error.
Result<RecipeFiles> ReadRecipeFiles(const QString& path);

} // namespace posflash
