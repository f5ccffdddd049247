#pragma once

#include "cli/cli_options.h"
#include "records/station_recipe.h"

#include <QByteArray>
#include <QDateTime>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <optional>

namespace posflash {

// What the recipe command takes from its surroundings besides its arguments; a test sets its
// own.
struct RecipeCommandEnv {
    // The folders of the station's trusted public keys (*.pub).
    TrustedKeyFolders trustedKeyFolders;
    // Where recipe fetch looks, as the production window does.
    RecipeSource source;
    QDateTime now;
    bool english = true;
    // The password of an encrypted secret key, or nullopt when none could be had.
    std::function<std::optional<QByteArray>()> password;

    // The station's own: /etc/posflash/trusted-keys and $XDG_CONFIG_HOME/posflash/trusted-keys,
    // RecipeSource::station(), the clock, and the password from $POSFLASH_KEY_PASSWORD or asked on
    // the terminal without echo.
    static RecipeCommandEnv Station(bool english);
};

// posflash-cli recipe make|show|sign …, as the command line's reader read it ("recipe" the
// first positional argument):
//   make --image FILE --name NAME [--font] [--mode production|engineering] [--expires TIME]
//        [--port P …] [--label-pattern RE] [--retries N] [--label-required]
//        [--sequence N | --records URI] --out RECIPE
//   show RECIPE          the recipe, and whether RECIPE.minisig verifies under a trusted key
//   sign --key SECRETKEY RECIPE   writes RECIPE.minisig, as minisign -S does
//   fetch NAME [--records URI] [--out FILE]   the recipe a production window would run
// Exit 0 when done (show: the recipe verifies), 1 when a file could not be written or fetch
// refused, 2 for a usage error or a refusal (show: the recipe does not verify).
int RunRecipeCommand(const CliArguments& args, QTextStream& out, QTextStream& err,
                     const RecipeCommandEnv& env);

} // namespace posflash
