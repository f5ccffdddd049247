#pragma once

#include "records/pg_link.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace posflash {

// A signed line recipe as the line's database keeps it (posflash_recipes): its bytes and its
// signature exactly as signed. Nothing here trusts it; a station verifies what it fetches with
// its own keys, and takes its name and sequence from the signed bytes, never from the row.
struct PublishedRecipe {
    QString name;
    QByteArray recipe;
    QByteArray signature;
    QString recipeSha256;      // of the recipe's bytes, lower-case hex
    std::int64_t sequence = 0; // the signed sequence, as the publisher read it
};

// Stores the recipe as the newest of its name: the server refuses it when the sequence is not
// above the newest published under the name, or when this role does not own the table.
Status PublishRecipe(PgLink& link, const PublishedRecipe& recipe);

// Every row stored under name, newest first (at most a thousand): the station chooses among
// them by what verifies. Empty when none is.
Result<std::vector<PublishedRecipe>> FetchPublishedRecipes(PgLink& link, const QString& name);

// The highest sequence published under name, nothing when none is.
Result<std::optional<std::int64_t>> NewestPublishedSequence(PgLink& link, const QString& name);

// This role's mark of name in posflash_recipe_marks: the highest sequence it has verified; 0
// when it has none.
Result<std::int64_t> ReadRoleMark(PgLink& link, const QString& name);

// Raises this role's mark of name to sequence, never lowering it.
Status RaiseRoleMark(PgLink& link, const QString& name, std::int64_t sequence,
                     const QString& recipeSha256);

} // namespace posflash
