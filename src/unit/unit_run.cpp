#include "unit/unit_run.h"

#include "engine/engine.h"
#include "unit/download_history.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>
#include <QUuid>

namespace posflash {

bool IsRetryable(Cause cause) {
    switch (cause) {
    case Cause::PrinterSilent:
    case Cause::PrinterRefused:
    case Cause::WrongFrameNumber:
    case Cause::Disconnected:
        return true;
    default:
        return false;
    }
}

// The attempts of the unit in progress: each attempt's events go on to the observer, its end
// to the history, and a retryable failure to the next attempt.
class UnitRun::Attempts : public DownloadObserver {
public:
    Attempts(Engine& engine, DownloadHistory* history, DownloadObserver& observer)
        : engine_(engine), history_(history), observer_(&observer) {
        next_.setSingleShot(true);
        deadline_.setSingleShot(true);
        QObject::connect(&next_, &QTimer::timeout, [this] { attempt(); });
        QObject::connect(&deadline_, &QTimer::timeout, [this] { endUnit(); });
    }

    // An attempt still running ends at once, its row recorded, its observer no longer told.
    ~Attempts() override {
        if (!inAttempt_)
            return;
        observer_ = &quiet_;
        ended_ = true;
        engine_.stop();
    }
    Attempts(const Attempts&) = delete;
    Attempts& operator=(const Attempts&) = delete;

    void start(const DownloadJob& job, const UnitContext& context, int retries,
               const QString& bootFilePath, bool sameUnit = false) {
        if (running_)
            return;
        job_ = job;
        bootFilePath_ = bootFilePath;
        const bool resumed = sameUnit && !stamp_.unit.isEmpty();
        const QString unit =
            resumed ? stamp_.unit : QUuid::createUuid().toString(QUuid::WithoutBraces);
        const int before = resumed ? stamp_.attempt : 0;
        // The count of further attempts is checked against the attempt number.
        retries_ = before + std::max(0, retries);
        stamp_ = {context.operatorName, context.station, context.label, unit, before,
                  context.shift};
        stamp_.setRecipe(context.recipe);
        last_ = {};
        ended_ = false;
        running_ = true;
        tell(DownloadEvent::Kind::UnitStarted, nullptr);
        if (running_)
            attempt();
    }

    void refuse(const DownloadResult& refusal, const UnitContext& context) {
        if (running_)
            return;
        stamp_ = {context.operatorName,
                  context.station,
                  context.label,
                  QUuid::createUuid().toString(QUuid::WithoutBraces),
                  1,
                  context.shift};
        stamp_.setRecipe(context.recipe);
        last_ = refusal;
        running_ = true;
        ended_ = true;
        tell(DownloadEvent::Kind::UnitStarted, nullptr);
        if (history_)
            history_->record(last_, stamp_);
        tell(DownloadEvent::Kind::TransferEnded, &last_);
        tell(DownloadEvent::Kind::Finished, &last_);
        endUnit();
    }

    // No further attempt; a wait between attempts ends the unit at once.
    void halt(bool stop) {
        if (!running_)
            return;
        ended_ = true;
        // Asked from the observer as it hears Finished, finished() itself ends the unit; asked
        // while waiting between attempts, it ends here.
        if (inAttempt_) {
            if (stop)
                engine_.stop();
            else
                engine_.cancel();
        } else if (!deciding_) {
            endUnit();
        }
    }

    bool running() const { return running_; }
    const QString& unitId() const { return stamp_.unit; }
    int attemptNumber() const { return stamp_.attempt; }

    void onEvent(const DownloadEvent& event) override {
        DownloadEvent e = event;
        stamp(e);
        if (e.kind != DownloadEvent::Kind::Finished) {
            observer_->onEvent(e);
            return;
        }
        finished(*event.result, e);
    }

private:
    void stamp(DownloadEvent& e) const {
        e.unit = stamp_.unit;
        e.unitAttempt = stamp_.attempt;
    }

    void tell(DownloadEvent::Kind kind, const DownloadResult* result, int nextAttempt = 0) {
        DownloadEvent e;
        e.kind = kind;
        e.result = result;
        e.nextAttempt = nextAttempt;
        stamp(e);
        observer_->onEvent(e);
    }

    void finished(const DownloadResult& result, const DownloadEvent& e) {
        inAttempt_ = false;
        last_ = result;
        if (history_)
            history_->record(result, stamp_);
        deciding_ = true; // a cancel or stop from the observer only marks the unit ended
        observer_->onEvent(e);
        const bool retry = !ended_ && result.outcome == Outcome::Failed &&
                           IsRetryable(result.cause) && stamp_.attempt <= retries_;
        if (retry)
            tell(DownloadEvent::Kind::RetryUnit, &last_, stamp_.attempt + 1);
        deciding_ = false;
        if (!retry || ended_) {
            endUnit();
            return;
        }
        const QString& node = result.printer.node;
        if (result.cause == Cause::Disconnected && job_.route == Route::Com && !node.isEmpty() &&
            !QFileInfo::exists(node))
            awaitNode(node);
        else
            next_.start(0); // once the engine has let go of the attempt that ended
    }

    void attempt() {
        watcher_.reset();
        deadline_.stop();
        ++stamp_.attempt;
        inAttempt_ = true;
        engine_.download(job_, *this, bootFilePath_);
    }

    // A serial printer that went away is tried again once its node is back, within the job's
    // link timeout; without one it is not waited for, so that a run never hangs on a printer
    // taken away for good.
    void awaitNode(const QString& node) {
        if (!job_.linkTimeoutMs) {
            endUnit();
            return;
        }
        // The folder's entries change when the node comes back (udev, a test's symbolic link).
        watcher_ =
            std::make_unique<QFileSystemWatcher>(QStringList{QFileInfo(node).absolutePath()});
        if (watcher_->directories().isEmpty()) {
            endUnit();
            return;
        }
        QObject::connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, [this, node] {
            if (QFileInfo::exists(node)) {
                watcher_.release()->deleteLater();
                attempt();
            }
        });
        deadline_.start(*job_.linkTimeoutMs);
    }

    void endUnit() {
        next_.stop();
        deadline_.stop();
        if (watcher_)
            watcher_.release()->deleteLater();
        running_ = false;
        // Last: the observer may start the next unit, or let this run go.
        const DownloadResult last = last_;
        tell(DownloadEvent::Kind::UnitFinished, &last);
    }

    Engine& engine_;
    DownloadHistory* history_;
    DownloadObserver* observer_;
    struct Quiet : DownloadObserver {
        void onEvent(const DownloadEvent&) override {}
    } quiet_; // hears a run's end while this goes
    DownloadJob job_;
    QString bootFilePath_;
    int retries_ = 0;
    UnitStamp stamp_;
    DownloadResult last_;
    bool running_ = false;
    bool ended_ = false;     // cancelled or stopped: no further attempt
    bool inAttempt_ = false; // the engine runs an attempt of this unit
    bool deciding_ = false;  // in finished(), telling the observer
    QTimer next_;
    QTimer deadline_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
};

UnitRun::UnitRun(Engine& engine, DownloadHistory* history, DownloadObserver& observer)
    : attempts_(std::make_unique<Attempts>(engine, history, observer)) {}

UnitRun::~UnitRun() = default;

void UnitRun::start(const DownloadJob& job, const UnitContext& context, int retries,
                    const QString& bootFilePath) {
    attempts_->start(job, context, retries, bootFilePath);
}

void UnitRun::refuse(const DownloadResult& refusal, const UnitContext& context) {
    attempts_->refuse(refusal, context);
}

void UnitRun::resume(const DownloadJob& job, const UnitContext& context, int retries) {
    attempts_->start(job, context, retries, {}, true);
}

void UnitRun::cancel() {
    attempts_->halt(false);
}

void UnitRun::stop() {
    attempts_->halt(true);
}

bool UnitRun::isRunning() const {
    return attempts_->running();
}

QString UnitRun::unitId() const {
    return attempts_->unitId();
}

int UnitRun::attempt() const {
    return attempts_->attemptNumber();
}

} // namespace posflash
