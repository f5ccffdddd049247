#include "recipe/recipe.h"

#include "base/named_values.h"
#include "base/retry_limit.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>

namespace posflash {

namespace {

// JSON numbers are doubles: integers beyond 2^53 would not survive the round trip.
constexpr double kMaxExactInteger = 9007199254740992.0;
constexpr qsizetype kMaxTargets = 1024;
constexpr qsizetype kMaxTextLength = 4096;

constexpr NamedValue<ImageKind> kKinds[] = {
    {ImageKind::Program, "program"},
    {ImageKind::Font, "font"},
};
constexpr NamedValue<RecipeMode> kModes[] = {
    {RecipeMode::Production, "production"},
    {RecipeMode::Engineering, "engineering"},
};

Error Fault(RecipeError code, const QString& text) {
    return {static_cast<int>(code), text, {}, ErrorDomain::Recipe};
}

Error BadField(const QString& key, const QString& why) {
    return Fault(RecipeError::BadField, QStringLiteral("the recipe's \"%1\" %2").arg(key, why));
}

// Refuses keys the schema does not know, so a typo ("label_patern") is not silently ignored.
Status OnlyKnownKeys(const QJsonObject& object, const QStringList& known, const QString& where) {
    for (const QString& key : object.keys())
        if (!known.contains(key))
            return Fault(
                RecipeError::BadField,
                QStringLiteral("the recipe has a key it may not have: \"%1%2\"").arg(where, key));
    return {};
}

Result<QString> Text(const QJsonObject& object, const QString& key, bool required) {
    const QJsonValue value = object.value(key);
    if (value.isUndefined()) {
        if (required)
            return BadField(key, QStringLiteral("is missing"));
        return QString();
    }
    if (!value.isString())
        return BadField(key, QStringLiteral("must be a text"));
    if (value.toString().size() > kMaxTextLength)
        return BadField(key, QStringLiteral("is too long"));
    return value.toString();
}

Result<std::int64_t> Integer(const QJsonValue& value, const QString& key, double max) {
    const double number = value.toDouble();
    if (!value.isDouble() || std::floor(number) != number)
        return BadField(key, QStringLiteral("must be a whole number"));
    if (number < 0)
        return BadField(key, QStringLiteral("may not be negative"));
    if (number > max)
        return BadField(key, QStringLiteral("is too large"));
    return static_cast<std::int64_t>(number);
}

Result<QByteArray> Sha256(const QJsonValue& value) {
    static const QRegularExpression hex(QStringLiteral("^[0-9a-fA-F]{64}$"));
    if (!value.isString() || !hex.match(value.toString()).hasMatch())
        return BadField(QStringLiteral("image.sha256"),
                        QStringLiteral("must be 64 hexadecimal digits (a SHA-256)"));
    return QByteArray::fromHex(value.toString().toLatin1());
}

Status ReadImage(const QJsonValue& value, Recipe& recipe) {
    if (!value.isObject())
        return BadField(QStringLiteral("image"), value.isUndefined()
                                                     ? QStringLiteral("is missing")
                                                     : QStringLiteral("must be an object"));
    const QJsonObject image = value.toObject();
    if (Status known = OnlyKnownKeys(
            image, {QStringLiteral("sha256"), QStringLiteral("size"), QStringLiteral("kind")},
            QStringLiteral("image."));
        !known)
        return known;
    Result<QByteArray> sha = Sha256(image.value(QStringLiteral("sha256")));
    if (!sha)
        return sha.error();
    recipe.imageSha256 = *sha;
    Result<std::int64_t> size = Integer(image.value(QStringLiteral("size")),
                                        QStringLiteral("image.size"), kMaxExactInteger);
    if (!size)
        return size.error();
    recipe.imageSize = *size;
    const std::optional<ImageKind> kind =
        ValueIn(kKinds, image.value(QStringLiteral("kind")).toString());
    if (!kind)
        return BadField(QStringLiteral("image.kind"), QStringLiteral("must be program or font"));
    recipe.imageKind = *kind;
    return {};
}

Status ReadTargets(const QJsonValue& value, Recipe& recipe) {
    if (value.isUndefined())
        return {};
    if (!value.isArray())
        return BadField(QStringLiteral("targets"), QStringLiteral("must be a list of texts"));
    const QJsonArray targets = value.toArray();
    if (targets.size() > kMaxTargets)
        return BadField(QStringLiteral("targets"), QStringLiteral("has too many entries"));
    for (const QJsonValue& target : targets) {
        if (!target.isString() || target.toString().trimmed().isEmpty() ||
            target.toString().size() > kMaxTextLength)
            return BadField(QStringLiteral("targets"),
                            QStringLiteral("must hold port names, device paths, USB paths or MAC "
                                           "addresses, as texts"));
        recipe.targets << target.toString();
    }
    return {};
}

Status ReadRules(const QJsonObject& root, Recipe& recipe) {
    const std::optional<RecipeMode> mode =
        ValueIn(kModes, root.value(QStringLiteral("mode")).toString());
    if (!mode)
        return BadField(QStringLiteral("mode"),
                        QStringLiteral("must be production or engineering"));
    recipe.mode = *mode;

    Result<QString> expires = Text(root, QStringLiteral("expires"), false);
    if (!expires)
        return expires.error();
    if (root.contains(QStringLiteral("expires"))) {
        recipe.expires = ParseRecipeTime(*expires);
        if (!recipe.expires)
            return BadField(QStringLiteral("expires"),
                            QStringLiteral("must be an ISO 8601 time with its offset, such as "
                                           "2027-03-01T06:00:00+08:00"));
    }

    Result<QString> pattern = Text(root, QStringLiteral("label_pattern"), false);
    if (!pattern)
        return pattern.error();
    if (const QRegularExpression re(*pattern); !re.isValid())
        return BadField(QStringLiteral("label_pattern"),
                        QStringLiteral("is not a valid regular expression: %1 at %2")
                            .arg(re.errorString())
                            .arg(re.patternErrorOffset()));
    recipe.labelPattern = *pattern;

    if (const QJsonValue retries = root.value(QStringLiteral("retries")); !retries.isUndefined()) {
        Result<std::int64_t> count = Integer(retries, QStringLiteral("retries"), kMostRetries);
        if (!count)
            return count.error();
        recipe.retries = static_cast<int>(*count);
    }
    if (const QJsonValue required = root.value(QStringLiteral("label_required"));
        !required.isUndefined()) {
        if (!required.isBool())
            return BadField(QStringLiteral("label_required"),
                            QStringLiteral("must be true or false"));
        recipe.labelRequired = required.toBool();
    }
    return {};
}

} // namespace

const char* ImageKindName(ImageKind kind) {
    return NameIn(kKinds, kind, "program");
}

const char* RecipeModeName(RecipeMode mode) {
    return NameIn(kModes, mode, "production");
}

std::optional<QDateTime> ParseRecipeTime(const QString& text) {
    static const QRegularExpression withOffset(QStringLiteral(
        "^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}(:\\d{2}(\\.\\d{1,3})?)?(Z|[+-]\\d{2}:\\d{2})$"));
    if (!withOffset.match(text).hasMatch())
        return std::nullopt;
    QDateTime time = QDateTime::fromString(text, Qt::ISODateWithMs);
    if (!time.isValid())
        return std::nullopt;
    return time;
}

QString NormalTargetName(const QString& target) {
    static const QRegularExpression mac(QStringLiteral("^[0-9A-Fa-f]{2}([-:][0-9A-Fa-f]{2}){5}$"));
    static const QRegularExpression com(QStringLiteral("^[Cc][Oo][Mm][0-9]+$"));
    const QString name = target.trimmed();
    if (mac.match(name).hasMatch())
        return name.toUpper().replace(QLatin1Char(':'), QLatin1Char('-'));
    if (com.match(name).hasMatch())
        return name.toUpper();
    return name;
}

Result<Recipe> ParseRecipe(const QByteArray& json) {
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return Fault(RecipeError::NotJson, QStringLiteral("the recipe is not JSON: %1 at byte %2")
                                               .arg(parseError.errorString())
                                               .arg(parseError.offset));
    if (!document.isObject())
        return Fault(RecipeError::NotJson, QStringLiteral("the recipe is not a JSON object"));
    const QJsonObject root = document.object();

    const QJsonValue version = root.value(QStringLiteral("version"));
    if (version.isUndefined())
        return BadField(QStringLiteral("version"), QStringLiteral("is missing"));
    if (version != QJsonValue(kRecipeVersion) && version != QJsonValue(1))
        return Fault(RecipeError::BadVersion,
                     QStringLiteral("the recipe is of version %1; this program reads versions 1 "
                                    "and %2")
                         .arg(version.toVariant().toString())
                         .arg(kRecipeVersion));
    const bool sequenced = version == QJsonValue(kRecipeVersion);
    QStringList known{QStringLiteral("version"),       QStringLiteral("name"),
                      QStringLiteral("image"),         QStringLiteral("mode"),
                      QStringLiteral("expires"),       QStringLiteral("targets"),
                      QStringLiteral("label_pattern"), QStringLiteral("retries"),
                      QStringLiteral("label_required")};
    if (sequenced)
        known << QStringLiteral("sequence");
    if (Status only = OnlyKnownKeys(root, known, {}); !only)
        return only.error();

    Recipe recipe;
    // A version-1 recipe predates sequences: it counts as 0, below every later approval.
    if (sequenced) {
        const QJsonValue sequence = root.value(QStringLiteral("sequence"));
        if (sequence.isUndefined())
            return BadField(QStringLiteral("sequence"), QStringLiteral("is missing"));
        Result<std::int64_t> number =
            Integer(sequence, QStringLiteral("sequence"), kMaxExactInteger);
        if (!number)
            return number.error();
        recipe.sequence = *number;
    }
    Result<QString> name = Text(root, QStringLiteral("name"), true);
    if (!name)
        return name.error();
    if (name->trimmed().isEmpty())
        return BadField(QStringLiteral("name"), QStringLiteral("may not be empty"));
    recipe.name = *name;
    for (Status step :
         {ReadImage(root.value(QStringLiteral("image")), recipe), ReadRules(root, recipe),
          ReadTargets(root.value(QStringLiteral("targets")), recipe)})
        if (!step)
            return step.error();
    return recipe;
}

QByteArray WriteRecipe(const Recipe& recipe) {
    // QJsonObject sorts its keys; the file keeps the schema's order, for a person reading it.
    // A JSON string literal, escaped by Qt's own writer: a one-element array without its [].
    auto text = [](const QString& s) {
        return QString::fromUtf8(QJsonDocument(QJsonArray{s}).toJson(QJsonDocument::Compact))
            .mid(1)
            .chopped(1);
    };
    QStringList lines;
    lines << QStringLiteral("  \"version\": %1").arg(kRecipeVersion)
          << QStringLiteral("  \"name\": %1").arg(text(recipe.name))
          << QStringLiteral("  \"sequence\": %1").arg(recipe.sequence)
          << QStringLiteral("  \"image\": {\"sha256\": \"%1\", \"size\": %2, \"kind\": \"%3\"}")
                 .arg(QString::fromLatin1(recipe.imageSha256.toHex()))
                 .arg(recipe.imageSize)
                 .arg(QLatin1String(ImageKindName(recipe.imageKind)))
          << QStringLiteral("  \"mode\": \"%1\"").arg(QLatin1String(RecipeModeName(recipe.mode)));
    if (recipe.expires)
        lines << QStringLiteral("  \"expires\": \"%1\"")
                     .arg(recipe.expires->toString(
                         recipe.expires->time().msec() != 0 ? Qt::ISODateWithMs : Qt::ISODate));
    if (!recipe.targets.isEmpty()) {
        QStringList targets;
        for (const QString& target : recipe.targets)
            targets << text(target);
        lines << QStringLiteral("  \"targets\": [%1]").arg(targets.join(QStringLiteral(", ")));
    }
    if (!recipe.labelPattern.isEmpty())
        lines << QStringLiteral("  \"label_pattern\": %1").arg(text(recipe.labelPattern));
    if (recipe.retries)
        lines << QStringLiteral("  \"retries\": %1").arg(*recipe.retries);
    if (recipe.labelRequired)
        lines << QStringLiteral("  \"label_required\": true");
    return (QStringLiteral("{\n") + lines.join(QStringLiteral(",\n")) + QStringLiteral("\n}\n"))
        .toUtf8();
}

} // namespace posflash
