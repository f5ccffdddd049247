#pragma once

#include "download/download_result.h"
#include "fleet/printer_target.h"
#include "ports/com_port_map.h"

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
class SharedBootPorts;
class UsbInventory;

// The COM-number map of a run: the user's file as it stands, held in memory, so that a node
// the user names (a pseudo-terminal, a test's link) gets a number for this run only and the
// file never fills with nodes that are gone tomorrow.
ComPortMap RunPortMap(const QString& filePath);

// One printer of a download to several, as the front end named or found it.
struct MultiTarget : PrinterTarget {
    QString label; // what the output calls it
    // The unit's scanned or given label, for its history rows.
    QString unitLabel;
};

// What every target of the run shares.
struct MultiSettings {
    QString file;
    QByteArray fileName; // the name given, when file stands in for it (DownloadJob::imageName)
    bool font = false;
    bool english = true;
    // A link not up by then ends its target as failed (link-timeout); none: until stopped.
    std::optional<int> linkTimeoutMs;
    // A unit failed for a cause a second try can fix is tried this many more times.
    int retries = 0;
    // Who runs the downloads and where, for the history.
    QString operatorName;
    QString station;
};

// Something that happened to one target, on the run's clock.
struct TargetEvent {
    // RetryUnit: the unit's attempt failed and the whole download begins again.
    enum class Kind { Start, Linked, Progress, Retry, Refused, Done, RetryUnit };
    Kind kind = Kind::Start;
    int target = 0; // index into the run's targets
    qint64 ms = 0;  // since the run began
    // Progress, and the frame a retry or refusal concerns (accepted + 1).
    int accepted = 0;
    int frames = 0;
    int frameBytes = 0;
    // Retry, Refused: the step (start, data, end, final frame), the next attempt (0 when none
    // follows), the refusal's status byte. Done: the step and the attempts of its last frame.
    short step = 0;
    int attempt = 0;
    int status = 0;
    // Retry, Refused: why the frame goes again; Done: why the download ended; RetryUnit: why
    // the unit's attempt failed (its other fields as Done's).
    Cause cause = Cause::None;
    // Done.
    Outcome result = Outcome::Failed;
    qint64 durationMs = 0;
    int retries = 0;
    int crc16 = -1;
    QString detail;       // the system's own words, when there are any
    int unitAttempts = 1; // Done: the attempts the unit took; the other fields are the last's
    int nextAttempt = 0;  // RetryUnit: the unit's attempt about to begin (from 2)
};

// Whoever shows the run: a terminal, plain lines, JSON.
class MultiEventSink {
public:
    virtual ~MultiEventSink() = default;
    virtual void event(const TargetEvent& e) = 0;
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
    void deliver(const TargetEvent& e);
    void targetFinished(std::size_t i, const DownloadResult& result, int attempts);
    void endIfDone();

    std::vector<MultiTarget> targets_;
    MultiSettings settings_;
    ComPortMap& comPorts_;
    const UsbInventory& inventory_;
    MultiEventSink& sink_;
    DownloadHistory* history_;
    QElapsedTimer clock_;
    // Bound once for every network printer of the run, before any engine starts.
    std::unique_ptr<SharedBootPorts> bootPorts_;
    std::vector<std::unique_ptr<Target>> running_;
    std::vector<Outcome> results_;
    // Each printer begins in a turn of the event loop of its own: its image is read, hashed and
    // framed then (some 18 ms for 1 MiB), and 40 at once would hold a window on the same loop
    // for most of a second.
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
