#include "recipe/recipe_texts.h"

#include "base/faces.h"
#include "base/named_values.h"

namespace posflash {

namespace {

constexpr const char* kContext = "RecipeTexts";

// Why a recipe refused, and what to do. An image's cause alone, as a record keeps it, and a
// label's "missing" have these words; the verdict's mismatch may say more.
constexpr ExplainedValue<RecipeCause> kRecipeWords[] = {
    {RecipeCause::Signature,
     QT_TRANSLATE_NOOP("RecipeTexts", "the recipe's signature is missing or does not verify"),
     QT_TRANSLATE_NOOP("RecipeTexts",
                       "put the recipe's .minisig beside it, as the line engineer signed it; "
                       "a recipe changed after signing must be signed again")},
    {RecipeCause::UntrustedKey,
     QT_TRANSLATE_NOOP("RecipeTexts", "the recipe is signed by a key this station does not trust"),
     QT_TRANSLATE_NOOP("RecipeTexts",
                       "have the recipe signed with the line's key, or put that key's .pub "
                       "into /etc/posflash/trusted-keys/ (the administrator's folder, for "
                       "production recipes), or, for engineering recipes only, into your own "
                       "~/.config/posflash/trusted-keys/")},
    {RecipeCause::Invalid, QT_TRANSLATE_NOOP("RecipeTexts", "the recipe cannot be read"),
     QT_TRANSLATE_NOOP("RecipeTexts",
                       "make the recipe again with 'posflash-cli recipe make' and sign it")},
    {RecipeCause::Expired, QT_TRANSLATE_NOOP("RecipeTexts", "the recipe has expired"),
     QT_TRANSLATE_NOOP("RecipeTexts", "ask the line engineer for the current recipe")},
    {RecipeCause::Image,
     QT_TRANSLATE_NOOP("RecipeTexts", "the image differs from the approved one"),
     QT_TRANSLATE_NOOP("RecipeTexts",
                       "choose the image the recipe approves, or ask for a recipe for this one")},
    {RecipeCause::Target, QT_TRANSLATE_NOOP("RecipeTexts", "the recipe does not allow this port"),
     QT_TRANSLATE_NOOP("RecipeTexts",
                       "put the unit on one of the fixture's ports the recipe names")},
    {RecipeCause::Label, QT_TRANSLATE_NOOP("RecipeTexts", "the recipe requires a label"),
     QT_TRANSLATE_NOOP("RecipeTexts", "scan the unit's label again")},
    {RecipeCause::Name,
     QT_TRANSLATE_NOOP("RecipeTexts",
                       "the signed recipe carries another name than the one asked for"),
     QT_TRANSLATE_NOOP("RecipeTexts",
                       "publish a recipe signed under this name, or start the station with the "
                       "name the recipe carries")},
    {RecipeCause::Unreadable, QT_TRANSLATE_NOOP("RecipeTexts", "cannot read the recipe file"),
     QT_TRANSLATE_NOOP("RecipeTexts",
                       "check the recipe's name and folder, and that it and its .minisig may be "
                       "read")},
    {RecipeCause::Rollback,
     QT_TRANSLATE_NOOP("RecipeTexts",
                       "the recipe is older than one this station has already verified"),
     QT_TRANSLATE_NOOP("RecipeTexts",
                       "publish the current recipe of this name, or have the line engineer sign "
                       "a new one with a higher sequence")},
};

constexpr NamedValue<ImageMismatch> kImageWords[] = {
    {ImageMismatch::Kind,
     QT_TRANSLATE_NOOP("RecipeTexts", "the image is not of the kind the recipe approves")},
    {ImageMismatch::Size,
     QT_TRANSLATE_NOOP("RecipeTexts", "the image's size differs from the approved image's")},
    {ImageMismatch::Hash,
     QT_TRANSLATE_NOOP("RecipeTexts", "the image's SHA-256 differs from the approved image's")},
};

} // namespace

QString RecipeTexts::own(const char* english) const {
    return faces_.text(kContext, english);
}

QString RecipeTexts::cause(const RecipeVerdict& verdict) const {
    const ExplainedValue<RecipeCause>* words = EntryFor(kRecipeWords, verdict.cause);
    if (!words)
        return {};
    QString why = own(words->why);
    if (verdict.cause == RecipeCause::Image)
        why = own(NameIn(kImageWords, verdict.image, words->why));
    else if (verdict.cause == RecipeCause::Label && verdict.label != LabelMismatch::Missing)
        why =
            own(QT_TRANSLATE_NOOP("RecipeTexts", "the label does not match the recipe's pattern"));
    // A detail in our own words is said in the face's language; a lower layer's English one
    // (a parse error, a signature's fault) only in the English face.
    QString detail;
    if (verdict.detailWords)
        detail = FilledDetail(own(verdict.detailWords), verdict.detailValues);
    else if (faces_.UseEnglish())
        detail = verdict.detail;
    return detail.isEmpty() ? why : why + QStringLiteral(" (") + detail + u')';
}

QString RecipeTexts::remedy(RecipeCause cause) const {
    const ExplainedValue<RecipeCause>* words = EntryFor(kRecipeWords, cause);
    return words ? own(words->remedy) : QString();
}

} // namespace posflash
