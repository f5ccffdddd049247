#include "fleet/multi_download.h"

#include "download/download_observer.h"
#include "engine/engine.h"
#include "fleet/download_record.h"
#include "fleet/unit_run.h"
#include "link/shared_boot_ports.h"
#include "protocol/frames.h"

#include <QTimer>

#include <algorithm>

namespace posflash {

namespace {

// Progress reaches the sink at most this often per printer; the first and the last frame
// always do.
constexpr qint64 kProgressEveryMs = 250;

} // namespace

ComPortMap RunPortMap(const QString& filePath) {
    const ComPortMap file(filePath);
    ComPortMap memory;
    for (const auto& [number, node] : file.entries())
        (void)memory.setMapping(number, node);
    return memory;
}

// One printer's engine and what its events become.
class MultiDownload::Target : public UnitObserver {
public:
    Target(MultiDownload& run, std::size_t index)
        : run_(run), index_(static_cast<int>(index)), engine_(run.comPorts_, run.inventory_),
          unit_(engine_, run.history_, *this) {
        engine_.faces().setUseEnglish(run.settings_.english);
        if (!run.targets_[index].ip.isEmpty())
            engine_.shareBootPorts(run.bootPorts_.get());
    }

    Engine& engine() { return engine_; }
    UnitRun& unit() { return unit_; }
    bool isClosing() const { return closing_; }
    // An attempt's frames are still going (or its link is awaited): a stop would cut them.
    bool isTransferring() const { return transferring_; }

    void started() override { transferring_ = true; }

    void linked() override { post(make(TargetEvent::Kind::Linked)); }
    void framesKnown(int total) override { progress(0, total); }
    void progress(int accepted, int total) override {
        accepted_ = accepted;
        frames_ = total;
        const bool edge = accepted == 0 || accepted == total;
        if (!edge && sincePosted_.isValid() && sincePosted_.elapsed() < kProgressEveryMs)
            return;
        sincePosted_.start();
        TargetEvent e = make(TargetEvent::Kind::Progress);
        e.accepted = accepted;
        e.frames = total;
        e.frameBytes = run_.settings_.font ? kFontFrameDataSize : kProgramFrameDataSize;
        post(e);
    }
    void retrying(const RetryEvent& retry) override {
        TargetEvent e =
            make(retry.status != 0 ? TargetEvent::Kind::Refused : TargetEvent::Kind::Retry);
        e.step = retry.step;
        e.attempt = retry.attempt;
        e.status = retry.status;
        e.cause = retry.cause;
        e.accepted = retry.frame > 0 ? retry.frame - 1 : accepted_;
        e.frames = frames_;
        post(e);
    }
    void closing() override { closing_ = true; }
    void transferEnded(const DownloadResult& result) override {
        closing_ = false;
        transferring_ = false;
        if (result.cause != Cause::PrinterRefused)
            return;
        // The last attempt's refusal, which no retry reports.
        TargetEvent e = make(TargetEvent::Kind::Refused);
        e.step = result.step;
        e.status = result.refusalStatus;
        e.cause = result.cause;
        e.accepted = result.frame > 0 ? result.frame - 1 : accepted_;
        e.frames = frames_;
        post(e);
    }
    void retryingUnit(int nextAttempt, const DownloadResult& failed) override {
        closing_ = false;
        TargetEvent e = make(TargetEvent::Kind::RetryUnit);
        e.nextAttempt = nextAttempt;
        e.attempt = failed.attempts;
        e.cause = failed.cause;
        e.step = failed.step;
        e.accepted = failed.framesAccepted;
        e.frames = failed.frames;
        e.durationMs = failed.elapsedMs;
        e.detail = failed.error.detail;
        accepted_ = 0;
        sincePosted_.invalidate();
        post(e);
    }
    void unitFinished(const UnitResult& result) override {
        run_.targetFinished(static_cast<std::size_t>(index_), result.last, result.attempts);
    }

    TargetEvent make(TargetEvent::Kind kind) const {
        TargetEvent e;
        e.kind = kind;
        e.target = index_;
        e.ms = run_.clock_.elapsed();
        return e;
    }
    void post(const TargetEvent& e) { run_.deliver(e); }

private:
    MultiDownload& run_;
    const int index_;
    Engine engine_;
    UnitRun unit_; // after the engine: it goes first
    int accepted_ = 0;
    int frames_ = 0;
    bool closing_ = false;
    bool transferring_ = false;
    QElapsedTimer sincePosted_;
};

MultiDownload::MultiDownload(std::vector<MultiTarget> targets, MultiSettings settings,
                             ComPortMap& comPorts, const UsbInventory& inventory,
                             MultiEventSink& sink, DownloadHistory* history)
    : targets_(std::move(targets)), settings_(std::move(settings)), comPorts_(comPorts),
      inventory_(inventory), sink_(sink), history_(history) {
    launcher_.setSingleShot(true);
    QObject::connect(&launcher_, &QTimer::timeout, [this] { launchNext(); });
}

MultiDownload::~MultiDownload() {
    // The engines end what still runs, at once, before their observers go.
    for (auto& target : running_)
        target->unit().stop();
}

int MultiDownload::exitCodeOf(const std::vector<Outcome>& results) {
    if (std::find(results.begin(), results.end(), Outcome::Refused) != results.end())
        return 2;
    return std::all_of(results.begin(), results.end(),
                       [](Outcome r) { return r == Outcome::Completed; })
               ? 0
               : 1;
}

void MultiDownload::setWatching(std::function<int(const std::vector<Outcome>&)> exitCode) {
    watchExitCode_ = std::move(exitCode);
}

bool MultiDownload::anyClosing() const {
    return std::any_of(running_.begin(), running_.end(),
                       [](const auto& target) { return target->isClosing(); });
}

bool MultiDownload::anyTransferring() const {
    return std::any_of(running_.begin(), running_.end(),
                       [](const auto& target) { return target->isTransferring(); });
}

void MultiDownload::deliver(const TargetEvent& e) {
    sink_.event(e);
}

void MultiDownload::launch(std::size_t i) {
    const MultiTarget& named = targets_[i];
    running_.push_back(std::make_unique<Target>(*this, i));
    Target& target = *running_.back();
    target.post(target.make(TargetEvent::Kind::Start));
    DownloadJob job;
    job.target = JobTargetOf(named);
    job.imagePath = settings_.file;
    job.imageName = settings_.fileName;
    job.kind = settings_.font ? ImageKind::Font : ImageKind::Program;
    job.route = RouteFor(!named.ip.isEmpty(), job.kind, true);
    job.linkTimeoutMs = settings_.linkTimeoutMs;
    target.unit().start(job, {settings_.operatorName, settings_.station, named.unitLabel, {}},
                        settings_.retries);
}

void MultiDownload::targetFinished(std::size_t i, const DownloadResult& result, int attempts) {
    TargetEvent done = running_[i]->make(TargetEvent::Kind::Done);
    done.result = result.outcome;
    done.cause = result.cause;
    done.step = result.step;
    done.attempt = result.attempts;
    done.detail = result.error.detail;
    done.durationMs = result.elapsedMs;
    done.accepted = result.framesAccepted;
    done.frames = result.frames;
    done.retries = result.retries;
    done.crc16 = result.crc16;
    done.unitAttempts = attempts;
    sink_.event(done);
    results_[i] = result.outcome;
    ++done_;
    endIfDone();
}

void MultiDownload::endIfDone() {
    if (!started_ || ended_ || done_ < static_cast<int>(targets_.size()))
        return;
    if (watchExitCode_ && stops_ == 0)
        return; // a watch goes on after its printers ended, until it is stopped
    ended_ = true;
    const int code = watchExitCode_ ? watchExitCode_(results_) : exitCodeOf(results_);
    sink_.finished(code);
    // From the event loop, so the engines' finished runs are gone before the caller ends.
    QTimer::singleShot(0, [ended = onEnded_, code] {
        if (ended)
            ended(code);
    });
}

void MultiDownload::start(std::function<void(int)> ended) {
    onEnded_ = std::move(ended);
    clock_.start();
    results_.assign(targets_.size(), Outcome::Cancelled);
    if (std::any_of(targets_.begin(), targets_.end(),
                    [](const MultiTarget& t) { return !t.ip.isEmpty(); })) {
        // A refusal reaches each network printer as its link's failure (bind-refused).
        bootPorts_ = std::make_unique<SharedBootPorts>();
        bootPorts_->bind(NetworkBoot::kBootpServerPort, NetworkBoot::kLinkPort);
    }
    started_ = true;
    if (stops_ > 0) {
        // Stopped before it began: every target stays cancelled, no printer is touched.
        done_ = static_cast<int>(targets_.size());
        endIfDone();
        return;
    }
    started_ = false; // refusals at once must not end the run before every target began
    launchNext();
}

void MultiDownload::launchNext() {
    if (stops_ > 0) {
        // Stopped while printers were still to begin: they stay cancelled, untouched.
        done_ += static_cast<int>(targets_.size() - launched_);
        launched_ = targets_.size();
    }
    if (launched_ < targets_.size())
        launch(launched_++);
    if (launched_ < targets_.size()) {
        launcher_.start(0);
        return;
    }
    started_ = true;
    endIfDone();
}

void MultiDownload::addTarget(const MultiTarget& target) {
    if (stops_ > 0)
        return;
    targets_.push_back(target);
    results_.push_back(Outcome::Cancelled);
    sink_.targetAdded(target);
    if (!launcher_.isActive())
        launchNext();
}

void MultiDownload::stop() {
    ++stops_;
    for (auto& target : running_) {
        if (stops_ == 1)
            target->unit().cancel();
        else
            target->unit().stop();
    }
    endIfDone();
}

} // namespace posflash
