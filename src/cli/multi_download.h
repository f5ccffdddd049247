#pragma once

#include "history/history_store.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QThread;

namespace posflash {

class ProcessSignals;
class SharedBootPorts;

// One printer of a download to several, as the command line named or found it.
struct MultiTarget {
    QString label;  // what the output calls it
    QString device; // a device node; empty when the target is a COM number
    int comNumber = 0;
    // A printer on the network when ip is set: its address and its MAC, as typed.
    QString ip;
    QString mac;
};

// What every target of the run shares.
struct MultiSettings {
    QString file;
    bool font = false;
    bool english = true;
    QString comMapPath; // the COM-number map, read by targets named by number
    // A link not up by then ends its target as failed; none: wait until stopped.
    std::optional<int> linkTimeoutMs;
    // Called on the main thread with each download that began, for the history.
    std::function<void(const HistoryRecord&)> record;
};

enum class TargetResult { Completed, Failed, Cancelled, Refused };

// Something that happened to one target, on the run's clock.
struct TargetEvent {
    enum class Kind { Start, Linked, Progress, Retry, Refused, Done };
    Kind kind = Kind::Start;
    int target = 0; // index into the run's targets
    qint64 ms = 0;  // since the run began
    // Progress, and the frame a retry or refusal concerns.
    int accepted = 0;
    int frames = 0;
    int frameBytes = 0;
    // Retry, Refused: the step (start, data, end, final frame), the next attempt, the status.
    short step = 0;
    int attempt = 0;
    int status = 0;
    // Done.
    TargetResult result = TargetResult::Failed;
    qint64 durationMs = 0;
    int retries = 0;
    int crc16 = -1;
    QString reason;
    std::optional<HistoryRecord> record; // none when the download never began
};

// Whoever shows the run: a terminal, plain lines, JSON. Called on the main thread only.
class MultiEventSink {
public:
    virtual ~MultiEventSink() = default;
    virtual void event(const TargetEvent& e) = 0;
    // Every target is done; exitCode is what the program returns.
    virtual void finished(int exitCode) = 0;
    // A target found while the run goes on; its events follow with the next index.
    virtual void targetAdded(const MultiTarget& target) = 0;
};

class TargetWorker;

// Downloads one file to several printers at once. The engine's waits are nested event loops,
// and two downloads sharing one thread would stack their loops so that the newer wait holds
// the older one up; so each printer gets a thread of its own with its own engine, panel and
// serial port, and the main thread keeps the terminal, the stop signals and the output.
class MultiDownload : public QObject {
public:
    MultiDownload(std::vector<MultiTarget> targets, MultiSettings settings, MultiEventSink& sink);
    ~MultiDownload() override;

    // Runs every target to its end; a stop signal cancels them all. Returns the exit code:
    // 0 all completed, 2 any refused the file, 1 otherwise.
    int run(ProcessSignals& stopSignals);

    static int exitCodeOf(const std::vector<TargetResult>& results);

    // For a watch: runs the targets added meanwhile until stop() and until each has ended, and
    // returns what exitCode makes of their results. The stop signals are the caller's.
    int runUntilStopped(const std::function<int(const std::vector<TargetResult>&)>& exitCode);
    // A printer found while running, on the main thread: it starts at once. None after stop().
    void addTarget(const MultiTarget& target);
    // Cancels every target and takes no more.
    void stop();

private:
    void makeWorker(std::size_t i);
    void deliver(const TargetEvent& e);
    void cancelAll();

    std::vector<MultiTarget> targets_;
    MultiSettings settings_;
    MultiEventSink& sink_;
    QElapsedTimer clock_;
    std::vector<std::unique_ptr<TargetWorker>> workers_;
    std::vector<std::unique_ptr<QThread>> threads_;
    std::vector<TargetResult> results_;
    // Ports 67 and 69, bound once for every network printer of the run, on the main thread.
    std::unique_ptr<SharedBootPorts> bootPorts_;
    int done_ = 0;
    bool watching_ = false;
    bool stopped_ = false;
    std::function<void()> allDone_;
};

} // namespace posflash
