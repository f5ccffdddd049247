#include "line/line_recipe.h"

#include "base/config_paths.h"
#include "base/faces.h"
#include "recipe/recipe_file.h"
#include "recipe/recipe_texts.h"
#include "recipe/trusted_keys.h"
#include "records/recipe_records.h"
#include "records/records_address.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>
#include <QStandardPaths>

#include <utility>

namespace posflash {

namespace {

// Texts are marked where they stand, so that lupdate files them under this context.
QString text(const char* english) {
    return QCoreApplication::translate("LineRecipe", english);
}

// A name may hold any character: its copy goes by the name's bytes in hex.
QString copyPath(const RecipeSource& source, const QString& name) {
    return QDir(source.copiesFolder)
        .filePath(QString::fromLatin1(name.toUtf8().toHex()) + QStringLiteral(".recipe"));
}

void keepCopy(const RecipeSource& source, const QString& name, const PublishedRecipe& recipe) {
    QDir().mkpath(source.copiesFolder);
    const QString path = copyPath(source, name);
    for (const auto& [file, bytes] :
         {std::pair{path + QStringLiteral(".minisig"), recipe.signature},
          std::pair{path, recipe.recipe}}) {
        QSaveFile out(file);
        if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size())
            out.commit();
    }
}

// A recipe asked for under which no shift can start, and why.
ShiftRecipe withProblem(QString problem) {
    ShiftRecipe shift;
    shift.wanted = true;
    shift.problem = std::move(problem);
    return shift;
}

ShiftRecipe refused(const LineSettings& settings, const QString& what,
                    const RecipeVerdict& verdict) {
    Faces faces;
    faces.setUseEnglish(!LineSpeaksChinese(settings));
    const RecipeTexts texts(faces);
    return withProblem(
        text(
            QT_TRANSLATE_NOOP("LineRecipe", "The recipe %1 refuses this shift: %2. What to do: %3"))
            .arg(what, texts.cause(verdict), texts.remedy(verdict.cause)));
}

// The recipe's bytes, verified and checked against the image.
ShiftRecipe checked(const LineSettings& settings, const QString& what, const QByteArray& recipe,
                    const std::optional<QByteArray>& signature, const RecipeSource& source) {
    const TrustedKeys trusted = LoadTrustedKeys(source.trustedKeyFolders);
    auto opened = RecipeGate::open(recipe, signature, trusted.keys, source.now());
    if (const RecipeVerdict* verdict = std::get_if<RecipeVerdict>(&opened))
        return refused(settings, what, *verdict);
    auto gate = std::make_shared<const RecipeGate>(std::get<RecipeGate>(opened));
    if (RecipeVerdict image = gate->checkImage(
            settings.imagePath, settings.font ? ImageKind::Font : ImageKind::Program);
        !image.ok())
        return refused(settings, what, image);
    ShiftRecipe shift;
    shift.wanted = true;
    shift.gate = std::move(gate);
    return shift;
}

ShiftRecipe fromRecords(const LineSettings& settings, const RecipeSource& source) {
    const QString& name = settings.recipeFromRecords;
    const QString what =
        text(QT_TRANSLATE_NOOP("LineRecipe", "%1 (from the line's records)")).arg(name);
    const Result<RecordsAddress> address = ParseRecordsAddress(settings.records);
    if (settings.records.isEmpty() || !address)
        return withProblem(
            text(QT_TRANSLATE_NOOP(
                     "LineRecipe",
                     "The recipe %1 comes from the line's records, but no records address "
                     "is set."))
                .arg(name));
    PgLink link(*address);
    Result<std::optional<PublishedRecipe>> fetched = std::optional<PublishedRecipe>{};
    if (Status opened = link.open(); opened)
        fetched = FetchNewestRecipe(link, name);
    else
        fetched = opened.error();
    if (fetched) {
        if (!*fetched)
            return withProblem(
                text(QT_TRANSLATE_NOOP("LineRecipe",
                                       "No recipe %1 is published in the line's records."))
                    .arg(name));
        // Whoever may write the database cannot approve an image: only what verifies here is
        // run, or kept.
        ShiftRecipe shift =
            checked(settings, what, (*fetched)->recipe, (*fetched)->signature, source);
        if (shift.gate)
            keepCopy(source, name, **fetched);
        return shift;
    }
    const Result<RecipeFiles> copy = ReadRecipeFiles(copyPath(source, name));
    if (!copy)
        return withProblem(
            text(QT_TRANSLATE_NOOP(
                     "LineRecipe",
                     "The line's records cannot be reached (%1) and this station has no "
                     "recipe %2 verified before."))
                .arg(fetched.error().text, name));
    // The copy is checked as the server's row was: its expiry may have passed since.
    ShiftRecipe shift = checked(settings, what, copy->recipe, copy->signature, source);
    shift.note =
        text(QT_TRANSLATE_NOOP(
                 "LineRecipe",
                 "The line's records cannot be reached: the recipe %1 verified here before "
                 "is used."))
            .arg(name);
    return shift;
}

} // namespace

RecipeSource RecipeSource::station() {
    RecipeSource source;
    source.trustedKeyFolders = DefaultTrustedKeyFolders();
    source.copiesFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                          QStringLiteral("/posflash/recipes");
    source.now = [] { return QDateTime::currentDateTimeUtc(); };
    return source;
}

ShiftRecipe LoadShiftRecipe(const LineSettings& settings, const RecipeSource& source) {
    if (!settings.recipeFromRecords.isEmpty())
        return fromRecords(settings, source);
    if (settings.recipe.isEmpty())
        return {};
    const Result<RecipeFiles> files = ReadRecipeFiles(settings.recipe);
    if (!files)
        return refused(settings, settings.recipe,
                       RecipeRefusal(RecipeCause::Invalid, files.error().text));
    return checked(settings, settings.recipe, files->recipe, files->signature, source);
}

QString FetchingRecipeText(const QString& name) {
    return text(QT_TRANSLATE_NOOP("LineRecipe", "Fetching the recipe %1 from the line's records…"))
        .arg(name);
}

QString RecipeSummary(const ApprovedRecipe& approved) {
    const Recipe& r = approved.recipe;
    const QString mode = r.mode == RecipeMode::Engineering
                             ? text(QT_TRANSLATE_NOOP("LineRecipe", "engineering"))
                             : text(QT_TRANSLATE_NOOP("LineRecipe", "production"));
    QString line = text(QT_TRANSLATE_NOOP("LineRecipe", "Recipe %1 · %2 · signed by key %3"))
                       .arg(r.name, mode, approved.signerKeyId);
    line += r.expires
                ? text(QT_TRANSLATE_NOOP("LineRecipe", " · until %1"))
                      .arg(r.expires->toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                : text(QT_TRANSLATE_NOOP("LineRecipe", " · no expiry"));
    return line;
}

} // namespace posflash
