#include "recipe/recipe_texts.h"

#include "base/faces.h"

namespace posflash {

namespace {

constexpr const char* kContext = "RecipeTexts";

} // namespace

QString RecipeTexts::own(const char* english) const {
    return faces_.text(kContext, english);
}

QString RecipeTexts::cause(const RecipeVerdict& verdict) const {
    QString why;
    switch (verdict.cause) {
    case RecipeCause::None:
        return {};
    case RecipeCause::Signature:
        why = own(QT_TRANSLATE_NOOP("RecipeTexts",
                                    "the recipe's signature is missing or does not verify"));
        break;
    case RecipeCause::UntrustedKey:
        why = own(QT_TRANSLATE_NOOP("RecipeTexts",
                                    "the recipe is signed by a key this station does not trust"));
        break;
    case RecipeCause::Invalid:
        why = own(QT_TRANSLATE_NOOP("RecipeTexts", "the recipe cannot be read"));
        break;
    case RecipeCause::Expired:
        why = own(QT_TRANSLATE_NOOP("RecipeTexts", "the recipe has expired"));
        break;
    case RecipeCause::Image:
        switch (verdict.image) {
        case ImageMismatch::Kind:
            why = own(QT_TRANSLATE_NOOP("RecipeTexts",
                                        "the image is not of the kind the recipe approves"));
            break;
        case ImageMismatch::Size:
            why = own(QT_TRANSLATE_NOOP("RecipeTexts",
                                        "the image's size differs from the approved image's"));
            break;
        case ImageMismatch::Hash:
            why = own(QT_TRANSLATE_NOOP("RecipeTexts",
                                        "the image's SHA-256 differs from the approved image's"));
            break;
        case ImageMismatch::None: // the cause alone, as a record keeps it
            why = own(QT_TRANSLATE_NOOP("RecipeTexts", "the image differs from the approved one"));
            break;
        }
        break;
    case RecipeCause::Target:
        why = own(QT_TRANSLATE_NOOP("RecipeTexts", "the recipe does not allow this port"));
        break;
    case RecipeCause::Label:
        why = verdict.label == LabelMismatch::Missing
                  ? own(QT_TRANSLATE_NOOP("RecipeTexts", "the recipe requires a label"))
                  : own(QT_TRANSLATE_NOOP("RecipeTexts",
                                          "the label does not match the recipe's pattern"));
        break;
    }
    return verdict.detail.isEmpty() ? why : why + QStringLiteral(" (") + verdict.detail + u')';
}

QString RecipeTexts::remedy(RecipeCause cause) const {
    switch (cause) {
    case RecipeCause::None:
        return {};
    case RecipeCause::Signature:
        return own(QT_TRANSLATE_NOOP(
            "RecipeTexts", "put the recipe's .minisig beside it, as the line engineer signed it; "
                           "a recipe changed after signing must be signed again"));
    case RecipeCause::UntrustedKey:
        return own(QT_TRANSLATE_NOOP(
            "RecipeTexts", "have the recipe signed with the line's key, or put that key's .pub "
                           "into trusted-keys (see docs/recipes.md)"));
    case RecipeCause::Invalid:
        return own(QT_TRANSLATE_NOOP(
            "RecipeTexts", "make the recipe again with 'posflash-cli recipe make' and sign it"));
    case RecipeCause::Expired:
        return own(
            QT_TRANSLATE_NOOP("RecipeTexts", "ask the line engineer for the current recipe"));
    case RecipeCause::Image:
        return own(QT_TRANSLATE_NOOP(
            "RecipeTexts",
            "choose the image the recipe approves, or ask for a recipe for this one"));
    case RecipeCause::Target:
        return own(QT_TRANSLATE_NOOP(
            "RecipeTexts", "put the unit on one of the fixture's ports the recipe names"));
    case RecipeCause::Label:
        return own(QT_TRANSLATE_NOOP("RecipeTexts", "scan the unit's label again"));
    }
    return {};
}

} // namespace posflash
