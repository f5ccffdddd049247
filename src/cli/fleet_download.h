#pragma once

#include "cli/cli_options.h"
#include "cli/cli_run.h"
#include "download/loaded_image.h"
#include "fleet/fleet_outcome.h"
#include "fleet/maintenance_window.h"
#include "fleet/multi_download.h"
#include "history/history_store.h"

#include <QTimeZone>

#include <map>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace posflash {

class CauseTexts;
class DownloadHistory;
class DownloadView;
class FirmwareProbe;

// What a store's rollout asks of a download to its network printers.
struct FleetChoices {
    bool skipCurrent = false;
    bool inboot = false;
    bool dryRun = false;
    std::optional<MaintenanceWindow> window;
    QTimeZone zone;
    std::optional<int> verifyBackMs;
};

// The rollout's options read, nothing when none is given (an ordinary download), or the exit
// code of a usage error.
std::variant<std::optional<FleetChoices>, int> FleetChoicesOf(const Cli& cli,
                                                              const CliArguments& args);

// A store's download in a rollout: what is decided before any printer is touched (the window,
// the printers already current, a dry run's look at each), the boot-loader commands, the run
// itself, the look at each printer after its final frame, and each printer's end as a rollout
// counts it, with the rows the history needs for them.
class FleetDownload {
public:
    FleetDownload(const Cli& cli, FleetChoices choices, const CauseTexts& texts, bool json,
                  std::vector<MultiTarget> targets, SharedImage image, UnitStamp stamp,
                  int linkTimeoutMs);
    ~FleetDownload();

    // Decides every printer that needs no download, and sends the others' boot-loader command
    // when asked; returns the printers to download to.
    std::vector<MultiTarget> before(ComPortMap& comPorts);
    // The run's events go through this on to the view.
    MultiEventSink& sinkFor(DownloadView& view);
    // The history holds back the rows this decides on once the run is over.
    void holdRows(DownloadHistory& history);
    // After the run (or none): waits for the printers still looked at, writes the rows held
    // back and those of printers never run, says each printer's end and the summary; returns
    // the exit status.
    int finish(DownloadView& view, DownloadHistory& history);

private:
    class Sink;
    struct End {
        std::optional<FleetVerdict> verdict;
        std::optional<DownloadResult> result; // of the run
        std::unique_ptr<FirmwareProbe> back;
        std::optional<std::pair<DownloadResult, UnitStamp>> held;
    };

    void endRun(std::size_t ran, const DownloadResult& result);
    void sendBootCommands(ComPortMap& comPorts, const std::vector<std::size_t>& which);
    std::vector<std::size_t> answering(const std::vector<std::size_t>& which);
    void recordRefused(DownloadHistory& history, std::size_t i, Cause cause);
    QString reasonOf(std::size_t i) const;
    void say(DownloadView& view, const std::vector<FleetOutcome>& outcomes, int code);

    const Cli& cli_;
    FleetChoices choices_;
    const CauseTexts& texts_;
    bool json_;
    std::vector<MultiTarget> targets_;
    SharedImage image_;
    UnitStamp stamp_;
    int linkTimeoutMs_;
    std::vector<End> ends_;
    std::vector<std::size_t> ran_; // the run's index to the printer's
    std::unique_ptr<Sink> sink_;
};

} // namespace posflash
