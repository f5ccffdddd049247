#pragma once

#include "download/download_job.h"
#include "download/download_result.h"
#include "history/history_store.h"
#include "ports/com_port_map.h"
#include "recipe/recipe_check.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

namespace posflash {

// A recipe's cause as a download's (recipe-signature …), and back; None for any other.
Cause CauseOfRecipe(RecipeCause cause);
RecipeCause RecipeCauseOf(Cause cause);

// The line recipe a run is under, verified once: what the command line's downloads and the
// production window's slots check each unit against before its first frame, and what their
// records name.
class RecipeGate {
public:
    // The recipe at path and its signature beside it (path.minisig), verified with keys at now:
    // the gate, or the verdict that refuses the whole run.
    static std::variant<RecipeGate, RecipeVerdict>
    open(const QString& path, const std::vector<MinisignPublicKey>& keys, const QDateTime& now);
    static std::variant<RecipeGate, RecipeVerdict> open(const QByteArray& recipe,
                                                        const std::optional<QByteArray>& signature,
                                                        const std::vector<MinisignPublicKey>& keys,
                                                        const QDateTime& now);

    const ApprovedRecipe& approved() const { return approved_; }
    const Recipe& recipe() const { return approved_.recipe; }
    // What the unit's records carry.
    RecipeStamp stamp() const;
    // The image as loaded for the run: the very bytes its printers are sent.
    RecipeVerdict checkImage(const LoadedImage& image) const;
    // An image that could not be loaded from path (error) is never the approved one.
    static RecipeVerdict unreadableImage(const QString& path, const Error& error);
    // A printer by every name it is known by: its COM name, device node, USB path, MAC, and
    // what the station's COM-number map makes of them (a node's COM number, a number's node).
    RecipeVerdict checkTarget(const Printer& target, const ComPortMap& comPorts) const;
    RecipeVerdict checkLabel(const QString& label) const;
    // A unit before its first frame, the one check every front end runs: its port, then its
    // label against the pattern. A network printer's own MAC as its label is judged by the
    // targets alone; any other label, whatever it looks like, meets the pattern.
    RecipeVerdict checkUnit(const Printer& target, const QString& label,
                            const ComPortMap& comPorts) const;

    // A refusal as the download's result, for the history and the views: nothing was sent.
    DownloadResult refusal(const RecipeVerdict& verdict, const DownloadJob& job) const;

private:
    explicit RecipeGate(ApprovedRecipe approved) : approved_(std::move(approved)) {}

    ApprovedRecipe approved_;
};

// The names a recipe may give a printer on target: "COM3", the device node, the USB path, the
// MAC address.
QStringList RecipeTargetNames(const Printer& target);

} // namespace posflash
