#pragma once

#include "download/download_event.h"
#include "download/download_result.h"
#include "download/loaded_image.h"
#include "fleet/fleet_boot_ports.h"
#include "ports/com_port_map.h"
#include "unit/printer_parse.h"

#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace posflash {

class DownloadHistory;
class Engine;
class RecipeGate;
class SharedBootPorts;
class UsbInventory;

// The COM-number map of a run: the user's file as it stands, held in memory, so that a node
// the user names (a pseudo-terminal, a test's link) gets a number for this run only and the
// file never fills with nodes that are gone tomorrow.
ComPortMap RunPortMap(const QString& filePath);

// One printer of a download to several, as the front end named or found it.
struct MultiTarget {
    Printer printer;
    QString label; // what the output calls it
    // The unit's scanned or given label, for its history rows.
    QString unitLabel;
};

// What every target of the run shares.
struct MultiSettings {
    // Loaded once for the whole run: every printer is sent these bytes, whatever the file holds
    // later. Under a recipe, the gate approved them.
    SharedImage image;
    bool english = true;
    // A link not up by then ends its target as failed (link-timeout); none: until stopped.
    std::optional<int> linkTimeoutMs;
    // A unit failed for a cause a second try can fix is tried this many more times.
    int retries = 0;
    // Who runs the downloads and where, for the history.
    QString operatorName;
    QString station;
    // A font to a network printer goes through its running firmware, not its boot loader.
    bool viaApp = false;
    // The line recipe the run is under, verified and the image checked against it: every
    // printer's port and label is checked against it before its first frame (a refusal ends
    // that printer's unit, untouched), and the records name it. None: no recipe.
    std::shared_ptr<const RecipeGate> recipe{};
};

// Whoever shows the run: a terminal, plain lines, JSON. It hears every event of every
// printer's unit, with the printer's index and the run's clock added.
class MultiEventSink : public DownloadObserver {
public:
    // Every target is done; exitCode is what the program returns.
    virtual void finished(int exitCode) = 0;
    // A target found while the run goes on; its events follow with the next index.
    virtual void targetAdded(const MultiTarget& target) = 0;
};

// Downloads one file to several printers at once, all on the calling thread: one engine per
// printer, each a state machine on the same event loop. Ports 67 and 69 are bound once for
// every network printer. Each printer's update is a unit (UnitRun): retried as the settings
// say, every attempt in the history when one is given; a target ends with its last attempt.
class MultiDownload {
public:
    MultiDownload(std::vector<MultiTarget> targets, MultiSettings settings, ComPortMap& comPorts,
                  const UsbInventory& inventory, MultiEventSink& sink,
                  DownloadHistory* history = nullptr);
    ~MultiDownload();
    MultiDownload(const MultiDownload&) = delete;
    MultiDownload& operator=(const MultiDownload&) = delete;

    // 0 all completed, 2 any refused, 1 otherwise.
    static int exitCodeOf(const std::vector<Outcome>& results);

    // Starts every target. ended(exitCode) follows, from the event loop, once all have ended
    // (with watching, once stopped too), after the sink's finished().
    void start(std::function<void(int)> ended);
    // Keeps the run going after its targets ended, for targets added later, until stop().
    void setWatching(std::function<int(const std::vector<Outcome>&)> exitCode);
    // A printer found while running: it starts at once. None after stop().
    void addTarget(const MultiTarget& target);
    // The first stop cancels every download (the link wait ends, a frame in flight finishes
    // its attempts, closing frames go on); a second ends them at once.
    void stop();
    bool stopping() const { return stops_ > 0; }
    bool anyClosing() const;
    // Whether a printer's attempt is still in its link or frames, which a stop would cut.
    bool anyTransferring() const;

private:
    class Target;

    void launch(std::size_t i);
    void launchNext();
    void targetFinished(std::size_t i, Outcome outcome);
    void endIfDone();

    std::vector<MultiTarget> targets_;
    MultiSettings settings_;
    ComPortMap& comPorts_;
    const UsbInventory& inventory_;
    MultiEventSink& sink_;
    DownloadHistory* history_;
    QElapsedTimer clock_;
    FleetBootPorts bootPorts_;
    std::vector<std::unique_ptr<Target>> running_;
    std::vector<Outcome> results_;
    // Each printer begins in a turn of the event loop of its own: its start frame's CRC over the
    // image is taken then, and 40 at once would hold a window on the same loop for a while.
    QTimer launcher_;
    std::size_t launched_ = 0;
    int done_ = 0;
    int stops_ = 0;
    bool started_ = false;
    bool ended_ = false;
    std::function<int(const std::vector<Outcome>&)> watchExitCode_;
    std::function<void(int)> onEnded_;
};

} // namespace posflash
