#include "records/recipe_records.h"

#include "records/central_schema.h"

#include <array>

namespace posflash {

namespace {

// A name may hold many rows, all of them maybe forged; more than this is no line's history.
constexpr int kMaxRowsOfName = 1000;

PgValue number(std::int64_t value) {
    return PgValue::literal(QByteArray::number(static_cast<qlonglong>(value)));
}

} // namespace

Status PublishRecipe(PgLink& link, const PublishedRecipe& recipe) {
    if (Status ready = CheckCentralSchema(link); !ready)
        return ready;
    const std::array<PgValue, 5> values{PgValue::raw(recipe.name.toUtf8()),
                                        PgValue::raw(recipe.recipe), PgValue::raw(recipe.signature),
                                        PgValue::raw(recipe.recipeSha256.toLatin1()),
                                        number(recipe.sequence)};
    PgAnswer stored =
        link.exec(QStringLiteral("INSERT INTO posflash_recipes (name, recipe, signature, "
                                 "recipe_sha256, sequence) VALUES ($1, $2, $3, $4, $5)"),
                  values, QStringLiteral("cannot publish the recipe"));
    return stored.status;
}

Result<std::vector<PublishedRecipe>> FetchPublishedRecipes(PgLink& link, const QString& name) {
    if (Status ready = CheckCentralSchema(link); !ready)
        return ready.error();
    const std::array<PgValue, 2> values{PgValue::raw(name.toUtf8()), number(kMaxRowsOfName)};
    // Hex in the text form: bytes of any kind come back as they went in.
    PgAnswer found = link.exec(
        QStringLiteral("SELECT encode(recipe, 'hex'), encode(signature, 'hex'), recipe_sha256, "
                       "sequence FROM posflash_recipes WHERE name = $1 ORDER BY id DESC LIMIT $2"),
        values, QStringLiteral("cannot read the published recipes"));
    if (!found.ok())
        return found.error();
    std::vector<PublishedRecipe> rows;
    for (int row = 0; row < found.rows.count(); ++row)
        rows.push_back({name, QByteArray::fromHex(found.rows.text(row, 0).toLatin1()),
                        QByteArray::fromHex(found.rows.text(row, 1).toLatin1()),
                        found.rows.text(row, 2), found.rows.number(row, 3, 0)});
    return rows;
}

Result<std::optional<std::int64_t>> NewestPublishedSequence(PgLink& link, const QString& name) {
    if (Status ready = CheckCentralSchema(link); !ready)
        return ready.error();
    const std::array<PgValue, 1> values{PgValue::raw(name.toUtf8())};
    PgAnswer found =
        link.exec(QStringLiteral("SELECT max(sequence) FROM posflash_recipes WHERE name = $1"),
                  values, QStringLiteral("cannot read the published recipes"));
    if (!found.ok())
        return found.error();
    if (found.rows.count() == 0 || found.rows.isNull(0, 0))
        return std::optional<std::int64_t>{};
    return std::optional<std::int64_t>{found.rows.number(0, 0, 0)};
}

Result<std::int64_t> ReadRoleMark(PgLink& link, const QString& name) {
    const std::array<PgValue, 1> values{PgValue::raw(name.toUtf8())};
    // The owner is not held by the row-level policy: the role is named here too.
    PgAnswer found =
        link.exec(QStringLiteral("SELECT coalesce(max(sequence), 0) FROM posflash_recipe_marks "
                                 "WHERE role = current_user AND name = $1"),
                  values, QStringLiteral("cannot read this station's recipe marks"));
    if (!found.ok())
        return found.error();
    return static_cast<std::int64_t>(found.rows.number(0, 0, 0));
}

Status RaiseRoleMark(PgLink& link, const QString& name, std::int64_t sequence,
                     const QString& recipeSha256) {
    const std::array<PgValue, 3> values{PgValue::raw(name.toUtf8()), number(sequence),
                                        PgValue::raw(recipeSha256.toLatin1())};
    PgAnswer raised = link.exec(
        QStringLiteral("INSERT INTO posflash_recipe_marks (name, sequence, recipe_sha256) "
                       "VALUES ($1, $2, $3) ON CONFLICT (role, name) DO UPDATE "
                       "SET sequence = EXCLUDED.sequence, recipe_sha256 = EXCLUDED.recipe_sha256, "
                       "seen_at = now() WHERE posflash_recipe_marks.sequence <= EXCLUDED.sequence"),
        values, QStringLiteral("cannot raise this station's recipe mark"));
    return raised.status;
}

} // namespace posflash
