#include "line/line_recipe.h"

#include "base/faces.h"
#include "recipe/recipe_file.h"
#include "recipe/recipe_texts.h"
#include "recipe/trusted_keys.h"

#include <QCoreApplication>

#include <utility>

namespace posflash {

namespace {

// Texts are marked where they stand, so that lupdate files them under this context.
QString text(const char* english) {
    return QCoreApplication::translate("LineRecipe", english);
}

// A recipe asked for under which no shift can start, and why.
ShiftRecipe withProblem(QString problem) {
    ShiftRecipe shift;
    shift.wanted = true;
    shift.problem = std::move(problem);
    return shift;
}

ShiftRecipe refused(const LineSettings& settings, const QString& what, const RecipeVerdict& verdict,
                    const QStringList& keyFaults = {}) {
    Faces faces;
    faces.setUseEnglish(!LineSpeaksChinese(settings));
    const RecipeTexts texts(faces);
    QString problem =
        text(
            QT_TRANSLATE_NOOP("LineRecipe", "The recipe %1 refuses this shift: %2. What to do: %3"))
            .arg(what, texts.cause(verdict), texts.remedy(verdict.cause));
    // A key folder refused (not root's alone) is why a good key is not trusted: say so.
    if (verdict.cause == RecipeCause::UntrustedKey && !keyFaults.isEmpty())
        problem += QLatin1Char(' ') + text(QT_TRANSLATE_NOOP("LineRecipe", "Keys not trusted: %1."))
                                          .arg(keyFaults.join(QStringLiteral("; ")));
    return withProblem(problem);
}

// The recipe's bytes, verified and checked against the image.
ShiftRecipe checked(const LineSettings& settings, const QString& what, const QByteArray& recipe,
                    const std::optional<QByteArray>& signature, const Result<SharedImage>& image,
                    const RecipeSource& source) {
    const TrustedKeys trusted = LoadTrustedKeys(source.trustedKeyFolders);
    auto opened = RecipeGate::open(recipe, signature, trusted.keys, source.now());
    if (const RecipeVerdict* verdict = std::get_if<RecipeVerdict>(&opened))
        return refused(settings, what, *verdict, trusted.unreadable);
    auto gate = std::make_shared<const RecipeGate>(std::get<RecipeGate>(opened));
    if (RecipeVerdict verdict =
            image ? gate->checkImage(**image)
                  : RecipeGate::unreadableImage(settings.imagePath, image.error());
        !verdict.ok())
        return refused(settings, what, verdict);
    ShiftRecipe shift;
    shift.wanted = true;
    shift.gate = std::move(gate);
    return shift;
}

ShiftRecipe fromRecords(const LineSettings& settings, const Result<SharedImage>& image,
                        const RecipeSource& source) {
    const QString& name = settings.recipeFromRecords;
    const QString what =
        text(QT_TRANSLATE_NOOP("LineRecipe", "%1 (from the line's records)")).arg(name);
    const StationRecipe found = FetchStationRecipe(settings.records, name, source);
    switch (found.found) {
    case StationRecipe::Found::NoAddress:
        return withProblem(
            text(QT_TRANSLATE_NOOP(
                     "LineRecipe",
                     "The recipe %1 comes from the line's records, but no records address "
                     "is set."))
                .arg(name));
    case StationRecipe::Found::NonePublished:
        return withProblem(
            text(
                QT_TRANSLATE_NOOP("LineRecipe", "No recipe %1 is published in the line's records."))
                .arg(name));
    case StationRecipe::Found::NoCopy:
        return withProblem(
            text(QT_TRANSLATE_NOOP(
                     "LineRecipe",
                     "The line's records cannot be reached (%1) and this station has no "
                     "recipe %2 verified before."))
                .arg(found.unreachable, name));
    case StationRecipe::Found::Refused:
        return refused(settings, what, found.verdict, found.keyFaults);
    case StationRecipe::Found::Verified:
        break;
    }
    // Whoever may write the database cannot approve an image: only what verified here is run.
    ShiftRecipe shift = checked(settings, what, found.recipe, found.signature, image, source);
    // The header says the copy is used only when it is.
    if (shift.gate && found.fromCopy)
        shift.note =
            text(QT_TRANSLATE_NOOP(
                     "LineRecipe",
                     "The line's records cannot be reached: the recipe %1 verified here before "
                     "is used."))
                .arg(name);
    return shift;
}

} // namespace

ShiftRecipe LoadShiftRecipe(const LineSettings& settings, const Result<SharedImage>& image,
                            const RecipeSource& source) {
    if (!settings.recipeFromRecords.isEmpty())
        return fromRecords(settings, image, source);
    if (settings.recipe.isEmpty())
        return {};
    const Result<RecipeFiles> files = ReadRecipeFiles(settings.recipe);
    if (!files)
        return refused(settings, settings.recipe, UnreadableRecipe(settings.recipe));
    return checked(settings, settings.recipe, files->recipe, files->signature, image, source);
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
