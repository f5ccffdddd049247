#pragma once

#include "recipe/recipe_check.h"
#include "recipe/recipe_marks.h"
#include "recipe/trusted_keys.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

namespace posflash {

// Where a station's recipes come from and what it checks them with.
struct RecipeSource {
    TrustedKeyFolders trustedKeyFolders;
    // The last recipe verified from the line's records, one file pair per name: a cache for
    // while the server cannot be reached, checked as the server's rows are.
    QString copiesFolder;
    // The station's marks (RecipeMarks) and the helper that raises them where it cannot write.
    QString marksFolder;
    QString markHelperPath;
    std::function<QDateTime()> now;

    // /etc/posflash/trusted-keys and $XDG_CONFIG_HOME/posflash/trusted-keys; the copies in
    // $XDG_DATA_HOME/posflash/recipes; the marks of RecipeMarks::station(); the clock.
    static RecipeSource station();
};

// What a station found under a recipe name: the recipe it may run, or why none.
struct StationRecipe {
    enum class Found {
        Verified,      // verdict.approved: the recipe to run
        Refused,       // verdict says why
        NoAddress,     // no records address is set (or it does not read)
        NonePublished, // the records hold no row under the name
        NoCopy,        // the records cannot be reached and no copy is kept here
    };
    Found found = Found::NoAddress;
    RecipeVerdict verdict;
    // The bytes chosen (when Verified: those that verified).
    QByteArray recipe;
    std::optional<QByteArray> signature;
    // The records could not be asked: the kept copy was checked instead. Why, in English.
    bool fromCopy = false;
    QString unreachable;
    // The station's mark before this fetch (the higher of its own and its role's).
    std::int64_t mark = 0;
    QString marksFolder;
    // Key files and folders not trusted ("path: why"), and a mark that could not be raised.
    QStringList keyFaults;
    QString markTrouble;
};

// The recipe published under name in the records at recordsText (the kept copy while they
// cannot be reached): of every row there, only one whose signed name is name and that verifies
// under the station's keys, the highest signed sequence among those, and never one below the
// station's mark (its own, and its role's in the records): that is recipe-name and
// recipe-rollback. A recipe verified raises the marks and becomes the kept copy. Blocks for the
// records server's connect timeout at most. The production window and posflash-cli recipe
// fetch both ask this.
StationRecipe FetchStationRecipe(const QString& recordsText, const QString& name,
                                 const RecipeSource& source);

} // namespace posflash
