#pragma once

#include "records/pg_link.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace posflash {

// A signed line recipe as the line's database keeps it (posflash_recipes): its bytes and its
// signature exactly as signed. Nothing here trusts it; a station verifies what it fetches with
// its own keys.
struct PublishedRecipe {
    QString name;
    QByteArray recipe;
    QByteArray signature;
    QString recipeSha256; // of the recipe's bytes, lower-case hex
};

// Stores the recipe as the newest of its name.
Status PublishRecipe(PgLink& link, const PublishedRecipe& recipe);

// The newest recipe published under name: nothing when none is, an error when the server
// cannot say.
Result<std::optional<PublishedRecipe>> FetchNewestRecipe(PgLink& link, const QString& name);

} // namespace posflash
