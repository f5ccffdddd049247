#pragma once

#include "recipe/recipe_check.h"

#include <QString>

namespace posflash {

class Faces;

// A recipe refusal in the face asked, for the command line, the windows and the history: why
// (with the verdict's values) and what to do.
class RecipeTexts {
public:
    explicit RecipeTexts(const Faces& faces) : faces_(faces) {}

    // "the image differs from the approved one: …".
    QString cause(const RecipeVerdict& verdict) const;
    // What the user can do about it; empty for None.
    QString remedy(RecipeCause cause) const;

private:
    QString own(const char* english) const;

    const Faces& faces_;
};

} // namespace posflash
