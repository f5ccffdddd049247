#pragma once

#include "download/loaded_image.h"
#include "line/line_settings.h"
#include "records/station_recipe.h"
#include "unit/recipe_gate.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace posflash {

// The line recipe a shift runs under, as the station found it.
struct ShiftRecipe {
    bool wanted = false; // the settings ask for a recipe
    // Verified with the station's own keys, and approving the shift's image.
    std::shared_ptr<const RecipeGate> gate;
    // Why no shift can start under it, in the window's words; empty when one can.
    QString problem;
    // What the operator should know besides (the records server away: the copy kept here).
    QString note;
};

// The recipe of the settings (a file, or the one FetchStationRecipe finds under a name in the
// line's records), verified, and checked against the shift's image as loaded (or refused when
// it could not be). Blocks for the records server's connect timeout at most.
ShiftRecipe LoadShiftRecipe(const LineSettings& settings, const Result<SharedImage>& image,
                            const RecipeSource& source);
// What a window loads a shift's recipe with (LoadShiftRecipe, with its source bound).
using RecipeLoader = std::function<ShiftRecipe(const LineSettings&, const Result<SharedImage>&)>;

// "Fetching the recipe X1 from the line's records…": what the window and the start panel say
// while the line's records are asked.
QString FetchingRecipeText(const QString& name);

// "X1 2.4 · production · signed by key 3D38… · until 2027-03-01 06:00": the start panel's and
// the header's line.
QString RecipeSummary(const ApprovedRecipe& approved);

} // namespace posflash
