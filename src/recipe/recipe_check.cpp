#include "recipe/recipe_check.h"

#include "base/named_values.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtGlobal>

#include <algorithm>

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
    {RecipeCause::Unreadable, "recipe-unreadable"},
};

RecipeVerdict ImageRefusal(ImageMismatch how, const char* words, const QStringList& values) {
    RecipeVerdict verdict = RecipeRefusal(RecipeCause::Image, words, values);
    verdict.image = how;
    return verdict;
}

RecipeVerdict LabelRefusal(LabelMismatch how, const char* words, const QStringList& values) {
    RecipeVerdict verdict = RecipeRefusal(RecipeCause::Label, words, values);
    verdict.label = how;
    return verdict;
}

// Two hashes no one should compare by eye: each cut after the first digit that differs (and a
// few more), at least 12 digits; the place is counted from 1.
RecipeVerdict HashRefusal(const QString& name, const QByteArray& sha, const QByteArray& approved) {
    const QString ours = QString::fromLatin1(sha.toHex());
    const QString theirs = QString::fromLatin1(approved.toHex());
    qsizetype differs = 0;
    while (differs < ours.size() && differs < theirs.size() && ours[differs] == theirs[differs])
        ++differs;
    const qsizetype shown = std::max<qsizetype>(12, differs + 4);
    const auto cut = [shown](const QString& hex) {
        return hex.size() > shown ? hex.left(shown) + QChar(0x2026) : hex;
    };
    const QString place = QString::number(differs + 1);
    if (name.isEmpty())
        return ImageRefusal(ImageMismatch::Hash,
                            QT_TRANSLATE_NOOP("RecipeTexts",
                                              "the image's SHA-256 is %1, the approved one %2: "
                                              "they differ from digit %3 on"),
                            {cut(ours), cut(theirs), place});
    return ImageRefusal(ImageMismatch::Hash,
                        QT_TRANSLATE_NOOP("RecipeTexts",
                                          "%1 has SHA-256 %2, the approved image %3: "
                                          "they differ from digit %4 on"),
                        {name, cut(ours), cut(theirs), place});
}

} // namespace

RecipeVerdict RecipeRefusal(RecipeCause cause, const QString& detail) {
    RecipeVerdict verdict;
    verdict.cause = cause;
    verdict.detail = detail;
    return verdict;
}

RecipeVerdict RecipeRefusal(RecipeCause cause, const char* words, const QStringList& values) {
    RecipeVerdict verdict = RecipeRefusal(cause, FilledDetail(QString::fromUtf8(words), values));
    verdict.detailWords = words;
    verdict.detailValues = values;
    return verdict;
}

RecipeVerdict UnreadableRecipe(const QString& path) {
    // A mistyped name is no recipe to make again: say which file, and what is wrong with it.
    const QFileInfo recipe(path);
    if (!recipe.exists())
        return RecipeRefusal(RecipeCause::Unreadable,
                             QT_TRANSLATE_NOOP("RecipeTexts", "%1: no such file"), {path});
    const QString unread =
        recipe.isFile() && recipe.isReadable() ? path + QStringLiteral(".minisig") : path;
    return RecipeRefusal(
        RecipeCause::Unreadable,
        QT_TRANSLATE_NOOP("RecipeTexts", "%1 is not a small regular file that may be read"),
        {unread});
}

QString FilledDetail(const QString& words, const QStringList& values) {
    QString filled;
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (words[i] == u'%' && i + 1 < words.size() && words[i + 1].isDigit()) {
            const qsizetype n = words[i + 1].digitValue();
            if (n >= 1 && n <= values.size()) {
                filled += values[n - 1];
                ++i;
                continue;
            }
        }
        filled += words[i];
    }
    return filled;
}

QString RecipeCauseName(RecipeCause cause) {
    return QString::fromLatin1(NameIn(kCauseNames, cause, nullptr));
}

RecipeVerdict VerifyRecipe(const QByteArray& recipe, const std::optional<QByteArray>& signature,
                           const std::vector<MinisignPublicKey>& trustedKeys,
                           const QDateTime& now) {
    if (!signature)
        return RecipeRefusal(RecipeCause::Signature,
                             QT_TRANSLATE_NOOP("RecipeTexts", "no signature was given"), {});
    Result<MinisignSignature> parsed = ParseMinisignSignature(*signature);
    if (!parsed)
        return RecipeRefusal(RecipeCause::Signature, parsed.error().text);
    const MinisignPublicKey* key = FindMinisignKey(*parsed, trustedKeys);
    if (key == nullptr)
        return RecipeRefusal(RecipeCause::UntrustedKey, QT_TRANSLATE_NOOP("RecipeTexts", "key %1"),
                             {MinisignKeyIdText(parsed->keyId)});
    Result<MinisignVerified> verified = VerifyMinisign(recipe, *parsed, *key);
    if (!verified)
        return RecipeRefusal(RecipeCause::Signature, verified.error().text);
    Result<Recipe> read = ParseRecipe(recipe);
    if (!read)
        return RecipeRefusal(RecipeCause::Invalid, read.error().text);
    if (read->mode == RecipeMode::Production && !key->approvesProduction)
        return RecipeRefusal(
            RecipeCause::UntrustedKey,
            QT_TRANSLATE_NOOP("RecipeTexts",
                              "key %1 is in %2, a folder that approves engineering recipes only; "
                              "a production recipe needs a key the administrator installed in "
                              "/etc/posflash/trusted-keys"),
            {verified->keyId, QFileInfo(key->source).path()});
    if (read->expires && now >= *read->expires)
        return RecipeRefusal(RecipeCause::Expired, QT_TRANSLATE_NOOP("RecipeTexts", "at %1"),
                             {read->expires->toString(Qt::ISODate)});
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
        return ImageRefusal(
            ImageMismatch::Kind,
            QT_TRANSLATE_NOOP("RecipeTexts", "the image is a %1; the recipe approves a %2"),
            {QLatin1String(ImageKindName(image.kind)),
             QLatin1String(ImageKindName(recipe.imageKind))});
    if (image.size != recipe.imageSize)
        return ImageRefusal(
            ImageMismatch::Size,
            QT_TRANSLATE_NOOP("RecipeTexts", "the image has %1 bytes; the recipe approves %2"),
            {QString::number(image.size), QString::number(recipe.imageSize)});
    if (image.sha256 != recipe.imageSha256)
        return HashRefusal(image.name, image.sha256, recipe.imageSha256);
    return {};
}

RecipeVerdict CheckRecipeTarget(const Recipe& recipe, const RecipeTarget& target) {
    if (recipe.targets.isEmpty())
        return {};
    for (const QString& allowed : recipe.targets)
        for (const QString& name : target.names)
            if (!name.isEmpty() && NormalTargetName(name) == NormalTargetName(allowed))
                return {};
    const QString allowed = recipe.targets.join(QStringLiteral(", "));
    if (target.names.isEmpty())
        return RecipeRefusal(
            RecipeCause::Target,
            QT_TRANSLATE_NOOP("RecipeTexts", "the unit is not among the recipe's targets (%1)"),
            {allowed});
    return RecipeRefusal(
        RecipeCause::Target,
        QT_TRANSLATE_NOOP("RecipeTexts", "%1 is not among the recipe's targets (%2)"),
        {target.names.join(QStringLiteral(", ")), allowed});
}

RecipeVerdict CheckRecipeLabel(const Recipe& recipe, const QString& label) {
    if (label.isEmpty()) {
        if (recipe.labelRequired)
            return LabelRefusal(LabelMismatch::Missing,
                                QT_TRANSLATE_NOOP("RecipeTexts", "no label was given"), {});
        return {};
    }
    if (recipe.labelPattern.isEmpty())
        return {};
    const QRegularExpression whole(QRegularExpression::anchoredPattern(recipe.labelPattern));
    if (!whole.match(label).hasMatch())
        return LabelRefusal(
            LabelMismatch::Pattern,
            QT_TRANSLATE_NOOP("RecipeTexts", "the label %1 does not match the pattern %2"),
            {label, recipe.labelPattern});
    return {};
}

} // namespace posflash
