#include "records/recipe_records.h"

#include "records/central_schema.h"

#include <array>

namespace posflash {

Status PublishRecipe(PgLink& link, const PublishedRecipe& recipe) {
    if (Status ready = CheckCentralSchema(link); !ready)
        return ready;
    const std::array<PgValue, 4> values{PgValue::raw(recipe.name.toUtf8()),
                                        PgValue::raw(recipe.recipe), PgValue::raw(recipe.signature),
                                        PgValue::raw(recipe.recipeSha256.toLatin1())};
    PgAnswer stored = link.exec(QStringLiteral("INSERT INTO posflash_recipes (name, recipe, "
                                               "signature, recipe_sha256) VALUES ($1, $2, $3, $4)"),
                                values, QStringLiteral("cannot publish the recipe"));
    return stored.status;
}

Result<std::optional<PublishedRecipe>> FetchNewestRecipe(PgLink& link, const QString& name) {
    if (Status ready = CheckCentralSchema(link); !ready)
        return ready.error();
    const std::array<PgValue, 1> values{PgValue::raw(name.toUtf8())};
    // Hex in the text form: bytes of any kind come back as they went in.
    PgAnswer found = link.exec(
        QStringLiteral("SELECT encode(recipe, 'hex'), encode(signature, 'hex'), recipe_sha256 "
                       "FROM posflash_recipes WHERE name = $1 ORDER BY id DESC LIMIT 1"),
        values, QStringLiteral("cannot read the published recipes"));
    if (!found.ok())
        return found.error();
    if (found.rows.count() == 0)
        return std::optional<PublishedRecipe>{};
    return std::optional<PublishedRecipe>{PublishedRecipe{
        name, QByteArray::fromHex(found.rows.text(0, 0).toLatin1()),
        QByteArray::fromHex(found.rows.text(0, 1).toLatin1()), found.rows.text(0, 2)}};
}

} // namespace posflash
