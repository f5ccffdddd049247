#include "fleet/multi_download.h"

#include "engine/engine.h"
#include "unit/download_history.h"
#include "unit/recipe_gate.h"
#include "unit/unit_run.h"

#include <QTimer>

#include <algorithm>

namespace posflash {

ComPortMap RunPortMap(const QString& filePath) {
    const ComPortMap file(filePath);
    ComPortMap memory;
    for (const auto& [number, node] : file.entries())
        (void)memory.setMapping(number, node);
    return memory;
}

// One printer's engine; its unit's events go on to the sink with the printer's index.
class MultiDownload::Target : public DownloadObserver {
public:
    Target(MultiDownload& run, std::size_t index)
        : run_(run), index_(static_cast<int>(index)), engine_(run.comPorts_, run.inventory_),
          unit_(engine_, run.history_, *this) {
        engine_.faces().setUseEnglish(run.settings_.english);
        if (!run.targets_[index].printer.ip.isEmpty())
            run.bootPorts_.share(engine_);
    }

    Engine& engine() { return engine_; }
    UnitRun& unit() { return unit_; }
    // The closing frames are going: a stop would cut them.
    bool isClosing() const { return engine_.downloadState() == DownloadRun::State::Closing; }
    // An attempt's frames are still going (or its link is awaited): a stop would cut them.
    bool isTransferring() const {
        const DownloadRun::State state = engine_.downloadState();
        return state == DownloadRun::State::Linking || state == DownloadRun::State::Sending ||
               state == DownloadRun::State::Closing;
    }

    void onEvent(const DownloadEvent& event) override {
        using Kind = DownloadEvent::Kind;
        DownloadEvent e = event;
        e.target = index_;
        e.ms = run_.clock_.elapsed();
        run_.sink_.onEvent(e);
        if (event.kind == Kind::UnitFinished)
            run_.targetFinished(static_cast<std::size_t>(index_), event.result->outcome);
    }

private:
    MultiDownload& run_;
    const int index_;
    Engine engine_;
    UnitRun unit_; // after the engine: it goes first
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

void MultiDownload::launch(std::size_t i) {
    const MultiTarget& named = targets_[i];
    running_.push_back(std::make_unique<Target>(*this, i));
    Target& target = *running_.back();
    DownloadJob job;
    job.printer = named.printer;
    job.carry(settings_.image);
    job.route =
        RouteFor(named.printer.medium() == Printer::Medium::Network, job.kind, !settings_.viaApp);
    job.linkTimeoutMs = settings_.linkTimeoutMs;
    UnitContext context{settings_.operatorName, settings_.station, named.unitLabel, {}};
    if (const RecipeGate* recipe = settings_.recipe.get()) {
        context.recipe = recipe->stamp();
        if (const RecipeVerdict verdict =
                recipe->checkUnit(job.printer, named.unitLabel, comPorts_);
            !verdict.ok()) {
            target.unit().refuse(recipe->refusal(verdict, job), context);
            return;
        }
    }
    target.unit().start(job, context, settings_.retries);
}

void MultiDownload::targetFinished(std::size_t i, Outcome outcome) {
    results_[i] = outcome;
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
    if (RouteFor(true, settings_.image->kind, !settings_.viaApp) == Route::Network &&
        std::any_of(targets_.begin(), targets_.end(),
                    [](const MultiTarget& t) { return !t.printer.ip.isEmpty(); })) {
        QStringList printerIps;
        for (const MultiTarget& t : targets_)
            if (!t.printer.ip.isEmpty())
                printerIps << t.printer.ip;
        bootPorts_.bind(printerIps);
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
