#include "recipe/recipe_check.h"

#include "base/named_values.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>

namespace posflash {

namespace {

constexpr NamedValue<RecipeCause> kCauseNames[] = {
    {RecipeCause::Signature, "recipe-signature"},
    {RecipeCause::UntrustedKey, "recipe-untrusted-key"},
    {RecipeCause::Invalid, "recipe-invalid"},
    {RecipeCause::Expired, "recipe-expired"},
    {RecipeCause::Image, "recipe-image"},
    {RecipeCause::Target, "recipe-target"},
    {RecipeCause::Label, "recipe-label"},
    {RecipeCause::Name, "recipe-name"},
    {RecipeCause::Rollback, "recipe-rollback"},
};

RecipeVerdict ImageRefusal(ImageMismatch how, const QString& detail) {
    RecipeVerdict verdict = RecipeRefusal(RecipeCause::Image, detail);
    verdict.image = how;
    return verdict;
}

RecipeVerdict LabelRefusal(LabelMismatch how, const QString& detail) {
    RecipeVerdict verdict = RecipeRefusal(RecipeCause::Label, detail);
    verdict.label = how;
    return verdict;
}

} // namespace

RecipeVerdict RecipeRefusal(RecipeCause cause, const QString& detail) {
    RecipeVerdict verdict;
    verdict.cause = cause;
    verdict.detail = detail;
    return verdict;
}

QString RecipeCauseName(RecipeCause cause) {
    return QString::fromLatin1(NameIn(kCauseNames, cause, nullptr));
}

RecipeVerdict VerifyRecipe(const QByteArray& recipe, const std::optional<QByteArray>& signature,
                           const std::vector<MinisignPublicKey>& trustedKeys,
                           const QDateTime& now) {
    if (!signature)
        return RecipeRefusal(RecipeCause::Signature, QStringLiteral("no signature was given"));
    Result<MinisignSignature> parsed = ParseMinisignSignature(*signature);
    if (!parsed)
        return RecipeRefusal(RecipeCause::Signature, parsed.error().text);
    const MinisignPublicKey* key = FindMinisignKey(*parsed, trustedKeys);
    if (key == nullptr)
        return RecipeRefusal(RecipeCause::UntrustedKey,
                             QStringLiteral("key %1").arg(MinisignKeyIdText(parsed->keyId)));
    Result<MinisignVerified> verified = VerifyMinisign(recipe, *parsed, *key);
    if (!verified)
        return RecipeRefusal(RecipeCause::Signature, verified.error().text);
    Result<Recipe> read = ParseRecipe(recipe);
    if (!read)
        return RecipeRefusal(RecipeCause::Invalid, read.error().text);
    if (read->mode == RecipeMode::Production && !key->approvesProduction)
        return RecipeRefusal(
            RecipeCause::UntrustedKey,
            QStringLiteral("key %1 is in %2, a folder that approves engineering recipes only; a "
                           "production recipe needs a key the administrator installed in "
                           "/etc/posflash/trusted-keys")
                .arg(verified->keyId, QFileInfo(key->source).path()));
    if (read->expires && now >= *read->expires)
        return RecipeRefusal(RecipeCause::Expired,
                             QStringLiteral("at %1").arg(read->expires->toString(Qt::ISODate)));
    RecipeVerdict verdict;
    verdict.approved = ApprovedRecipe{
        *read,
        verified->keyId,
        verified->trustedComment,
        QString::fromLatin1(QCryptographicHash::hash(recipe, QCryptographicHash::Sha256).toHex()),
        key->source,
        key->approvesProduction};
    return verdict;
}

RecipeVerdict CheckRecipeImage(const Recipe& recipe, const RecipeImage& image) {
    if (image.kind != recipe.imageKind)
        return ImageRefusal(ImageMismatch::Kind,
                            QStringLiteral("the image is a %1; the recipe approves a %2")
                                .arg(QLatin1String(RecipeImageKindName(image.kind)),
                                     QLatin1String(RecipeImageKindName(recipe.imageKind))));
    if (image.bytes.size() != recipe.imageSize)
        return ImageRefusal(ImageMismatch::Size,
                            QStringLiteral("the image has %1 bytes; the recipe approves %2")
                                .arg(image.bytes.size())
                                .arg(recipe.imageSize));
    const QByteArray sha = QCryptographicHash::hash(image.bytes, QCryptographicHash::Sha256);
    if (sha != recipe.imageSha256)
        return ImageRefusal(ImageMismatch::Hash,
                            QStringLiteral("the image's SHA-256 is %1; the recipe approves %2")
                                .arg(QString::fromLatin1(sha.toHex()),
                                     QString::fromLatin1(recipe.imageSha256.toHex())));
    return {};
}

RecipeVerdict CheckRecipeTarget(const Recipe& recipe, const RecipeTarget& target) {
    if (recipe.targets.isEmpty())
        return {};
    for (const QString& allowed : recipe.targets)
        for (const QString& name : target.names)
            if (!name.isEmpty() && NormalTargetName(name) == NormalTargetName(allowed))
                return {};
    return RecipeRefusal(RecipeCause::Target,
                         QStringLiteral("%1 is not among the recipe's targets (%2)")
                             .arg(target.names.isEmpty() ? QStringLiteral("the unit")
                                                         : target.names.join(QStringLiteral(", ")),
                                  recipe.targets.join(QStringLiteral(", "))));
}

RecipeVerdict CheckRecipeLabel(const Recipe& recipe, const QString& label) {
    if (label.isEmpty()) {
        if (recipe.labelRequired)
            return LabelRefusal(LabelMismatch::Missing, QStringLiteral("no label was given"));
        return {};
    }
    if (recipe.labelPattern.isEmpty())
        return {};
    const QRegularExpression whole(QRegularExpression::anchoredPattern(recipe.labelPattern));
    if (!whole.match(label).hasMatch())
        return LabelRefusal(LabelMismatch::Pattern,
                            QStringLiteral("the label %1 does not match the pattern %2")
                                .arg(label, recipe.labelPattern));
    return {};
}

RecipeVerdict CheckRecipe(const RecipeCheckInput& input) {
    RecipeVerdict verdict =
        VerifyRecipe(input.recipe, input.signature, input.trustedKeys, input.now);
    if (!verdict.ok())
        return verdict;
    const Recipe& recipe = verdict.approved->recipe;
    if (RecipeVerdict image = CheckRecipeImage(recipe, input.image); !image.ok())
        return image;
    if (input.target)
        if (RecipeVerdict target = CheckRecipeTarget(recipe, *input.target); !target.ok())
            return target;
    return verdict;
}

} // namespace posflash
