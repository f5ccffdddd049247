#include "cli/multi_download.h"

#include "base/ini_store.h"
#include "base/panel.h"
#include "cli/process_signals.h"
#include "cli/quiet_panel.h"
#include "engine/download_record.h"
#include "engine/engine.h"
#include "link/shared_boot_ports.h"
#include "ports/com_port_map.h"
#include "ports/named_usb_device.h"
#include "ports/usb_inventory_linux.h"
#include "protocol/frames.h"

#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace posflash {

namespace {

// Progress crosses to the main thread at most this often per printer; the first and the last
// frame always do.
constexpr qint64 kProgressEveryMs = 250;

// One printer's engine, aimed at its port. Made and destroyed on the printer's thread, so
// its serial port, sockets, timers and device monitor belong to that thread's event loop.
struct PrinterSession {
    PrinterSession(const MultiTarget& target, const MultiSettings& settings,
                   SharedBootPorts* bootPorts)
        : comPorts(target.device.isEmpty() && target.ip.isEmpty() ? settings.comMapPath
                                                                  : QString()),
          named(host, target.device),
          panel(settings.file, settings.font ? settings.file : QString(), target.ip, target.mac),
          engine(panel, iniStore, comPorts,
                 target.device.isEmpty() ? static_cast<const UsbInventory&>(host) : named) {
        engine.faces().setUseEnglish(settings.english);
        engine.portModel().setBaudIndex(7); // the line runs at 115200 whatever this says
        if (!target.ip.isEmpty()) {
            engine.network().shareBootPorts(bootPorts);
            engine.portModel().optPortSelect_Click(0);
            return;
        }
        const int number =
            target.device.isEmpty() ? target.comNumber : comPorts.assign(target.device);
        engine.portModel().selectComIndex(number - 1);
        engine.portModel().optPortSelect_Click(1);
    }

    IniStore iniStore; // keeps no settings of its own
    ComPortMap comPorts;
    UdevUsbInventory host;
    NamedUsbDeviceInventory named;
    QuietPanel panel;
    Engine engine;
};

bool isRefusal(Verdict v) {
    return v == Verdict::RefusedStatus5 || v == Verdict::RefusedStatus6;
}

TargetResult resultOf(DownloadDriver::Outcome outcome) {
    switch (outcome) {
    case DownloadDriver::Outcome::Completed:
        return TargetResult::Completed;
    case DownloadDriver::Outcome::Cancelled:
        return TargetResult::Cancelled;
    case DownloadDriver::Outcome::Refused:
    case DownloadDriver::Outcome::NotStarted:
        return TargetResult::Refused;
    default:
        return TargetResult::Failed;
    }
}

} // namespace

// Runs one printer's download on its own thread and reports each step to the main thread.
class TargetWorker : public QObject {
public:
    TargetWorker(int index, const MultiTarget& target, const MultiSettings& settings,
                 const QElapsedTimer& clock, SharedBootPorts* bootPorts, QObject* receiver,
                 std::function<void(const TargetEvent&)> deliver)
        : index_(index), target_(target), settings_(settings), clock_(clock), bootPorts_(bootPorts),
          receiver_(receiver), deliver_(std::move(deliver)) {}

    // On the worker's thread, from its start to the end of the download.
    void run();
    // On the worker's thread, queued from the main thread.
    void cancel();

private:
    TargetEvent make(TargetEvent::Kind kind) const {
        TargetEvent e;
        e.kind = kind;
        e.target = index_;
        e.ms = clock_.elapsed();
        return e;
    }
    void post(const TargetEvent& e) {
        QMetaObject::invokeMethod(
            receiver_, [deliver = deliver_, e] { deliver(e); }, Qt::QueuedConnection);
    }
    void onRetry(short step, int attempt);
    void onProgress(int accepted, int total);

    const int index_;
    const MultiTarget target_;
    const MultiSettings settings_;
    const QElapsedTimer& clock_; // read only: its start never changes while threads run
    SharedBootPorts* bootPorts_; // the main thread's; null without network printers
    QObject* receiver_;
    std::function<void(const TargetEvent&)> deliver_;

    PrinterSession* session_ = nullptr;
    bool cancelled_ = false;
    bool linked_ = false;
    bool linkTimedOut_ = false;
    int accepted_ = 0;
    int frames_ = 0;
    QElapsedTimer sincePosted_;
};

void TargetWorker::run() {
    post(make(TargetEvent::Kind::Start));
    PrinterSession session(target_, settings_, bootPorts_);
    session_ = &session;
    DownloadDriver& driver = session.engine.driver();

    QTimer linkTimer;
    linkTimer.setSingleShot(true);
    QObject::connect(&linkTimer, &QTimer::timeout, [this, &driver] {
        if (linked_ || !driver.isRunning())
            return;
        linkTimedOut_ = true;
        driver.cmdCancel_Click();
    });
    QObject::connect(&driver, &DownloadDriver::linked, [this, &linkTimer] {
        linked_ = true;
        linkTimer.stop();
        post(make(TargetEvent::Kind::Linked));
    });
    QObject::connect(&driver, &DownloadDriver::progress,
                     [this](int accepted, int total) { onProgress(accepted, total); });
    QObject::connect(&driver, &DownloadDriver::retrying,
                     [this](short step, int attempt) { onRetry(step, attempt); });

    if (settings_.linkTimeoutMs)
        linkTimer.start(*settings_.linkTimeoutMs);
    if (!cancelled_) {
        if (settings_.font)
            driver.btnDownloadFontFile_Click();
        else
            driver.btnDownloadFile_Click();
    }

    const DownloadDriver::Summary& summary = driver.lastSummary();
    const Verdict last = session.engine.link().state().ReplyResult;
    if (summary.outcome == DownloadDriver::Outcome::Failed && isRefusal(last)) {
        TargetEvent refused = make(TargetEvent::Kind::Refused);
        refused.step = session.engine.link().state().BootloadrStep;
        refused.accepted = accepted_;
        refused.frames = frames_;
        refused.status = last == Verdict::RefusedStatus5 ? 5 : 6;
        post(refused);
    }
    TargetEvent done = make(TargetEvent::Kind::Done);
    // A stop ends the waits at once, which the driver may see as a frame never answered.
    done.result = cancelled_ && summary.outcome != DownloadDriver::Outcome::Completed
                      ? TargetResult::Cancelled
                      : resultOf(summary.outcome);
    done.durationMs = summary.milliseconds;
    done.accepted = summary.framesAccepted;
    done.frames = summary.frames;
    done.retries = summary.retries;
    done.crc16 = summary.crc16;
    done.reason = done.result == TargetResult::Cancelled ? QString() : summary.reason;
    if (linkTimedOut_ && done.result != TargetResult::Completed) {
        done.result = TargetResult::Failed;
        done.reason = QStringLiteral("no link within %1 s").arg(*settings_.linkTimeoutMs / 1000);
    }
    if (summary.outcome != DownloadDriver::Outcome::None &&
        summary.outcome != DownloadDriver::Outcome::NotStarted) {
        const UsbInventory& inventory = target_.device.isEmpty()
                                            ? static_cast<const UsbInventory&>(session.host)
                                            : session.named;
        done.record =
            RecordOf(summary, QStringLiteral("cli"),
                     CurrentTarget(session.engine, session.panel, session.comPorts, inventory));
        if (linkTimedOut_ && done.result == TargetResult::Failed) {
            done.record->result = QStringLiteral("failed");
            done.record->reason = done.reason;
        }
    }
    session_ = nullptr;
    post(done);
}

void TargetWorker::cancel() {
    cancelled_ = true;
    if (session_ == nullptr)
        return;
    session_->engine.driver().cmdCancel_Click();
    session_->engine.waits().shutdown();
}

void TargetWorker::onProgress(int accepted, int total) {
    accepted_ = accepted;
    frames_ = total;
    const bool edge = accepted == 0 || accepted == total;
    if (!edge && sincePosted_.isValid() && sincePosted_.elapsed() < kProgressEveryMs)
        return;
    sincePosted_.start();
    TargetEvent e = make(TargetEvent::Kind::Progress);
    e.accepted = accepted;
    e.frames = total;
    e.frameBytes = settings_.font ? kFontFrameDataSize : kProgramFrameDataSize;
    post(e);
}

void TargetWorker::onRetry(short step, int attempt) {
    // The verdict of the attempt that failed is still in place until the next one is sent.
    const Verdict last = session_ ? session_->engine.link().state().ReplyResult : Verdict::None;
    TargetEvent e = make(isRefusal(last) ? TargetEvent::Kind::Refused : TargetEvent::Kind::Retry);
    e.step = step;
    e.attempt = attempt;
    e.accepted = accepted_;
    e.frames = frames_;
    e.status = last == Verdict::RefusedStatus5 ? 5 : last == Verdict::RefusedStatus6 ? 6 : 0;
    post(e);
}

MultiDownload::MultiDownload(std::vector<MultiTarget> targets, MultiSettings settings,
                             MultiEventSink& sink)
    : targets_(std::move(targets)), settings_(std::move(settings)), sink_(sink) {}

MultiDownload::~MultiDownload() {
    for (auto& thread : threads_)
        thread->wait();
}

int MultiDownload::exitCodeOf(const std::vector<TargetResult>& results) {
    if (std::find(results.begin(), results.end(), TargetResult::Refused) != results.end())
        return 2;
    return std::all_of(results.begin(), results.end(),
                       [](TargetResult r) { return r == TargetResult::Completed; })
               ? 0
               : 1;
}

void MultiDownload::deliver(const TargetEvent& e) {
    sink_.event(e);
    if (e.kind != TargetEvent::Kind::Done)
        return;
    // The history is written here, one download at a time, from the thread that owns it.
    if (e.record && settings_.record)
        settings_.record(*e.record);
    results_[static_cast<std::size_t>(e.target)] = e.result;
    // A watch goes on after its printers ended, until it is stopped.
    if (++done_ == static_cast<int>(targets_.size()) && allDone_ && (!watching_ || stopped_))
        allDone_();
}

void MultiDownload::cancelAll() {
    for (auto& worker : workers_) {
        TargetWorker* w = worker.get();
        QMetaObject::invokeMethod(
            w, [w] { w->cancel(); }, Qt::QueuedConnection);
    }
}

void MultiDownload::makeWorker(std::size_t i) {
    auto worker = std::make_unique<TargetWorker>(static_cast<int>(i), targets_[i], settings_,
                                                 clock_, bootPorts_.get(), this,
                                                 [this](const TargetEvent& e) { deliver(e); });
    TargetWorker* w = worker.get();
    std::unique_ptr<QThread> thread(QThread::create([w] { w->run(); }));
    thread->setObjectName(QStringLiteral("printer-%1").arg(i + 1));
    worker->moveToThread(thread.get());
    workers_.push_back(std::move(worker));
    threads_.push_back(std::move(thread));
}

void MultiDownload::addTarget(const MultiTarget& target) {
    if (stopped_)
        return;
    targets_.push_back(target);
    results_.push_back(TargetResult::Cancelled);
    sink_.targetAdded(target);
    makeWorker(targets_.size() - 1);
    threads_.back()->start();
}

void MultiDownload::stop() {
    stopped_ = true;
    cancelAll();
    if (done_ == static_cast<int>(targets_.size()) && allDone_)
        allDone_();
}

int MultiDownload::runUntilStopped(
    const std::function<int(const std::vector<TargetResult>&)>& exitCode) {
    watching_ = true;
    clock_.start();
    QEventLoop loop;
    allDone_ = [&loop] { loop.quit(); };
    if (!stopped_)
        loop.exec();
    allDone_ = nullptr;
    for (auto& thread : threads_)
        thread->wait();
    const int code = exitCode(results_);
    sink_.finished(code);
    return code;
}

int MultiDownload::run(ProcessSignals& stopSignals) {
    clock_.start();
    results_.assign(targets_.size(), TargetResult::Cancelled);
    if (std::any_of(targets_.begin(), targets_.end(),
                    [](const MultiTarget& t) { return !t.ip.isEmpty(); })) {
        // Bound before any engine starts; a refusal reaches each network printer as its link's.
        bootPorts_ = std::make_unique<SharedBootPorts>();
        bootPorts_->bind(NetworkBoot::kBootpServerPort, NetworkBoot::kLinkPort);
    }
    stopSignals.watch([this] { cancelAll(); });
    for (std::size_t i = 0; i < targets_.size(); ++i)
        makeWorker(i);
    QEventLoop loop;
    allDone_ = [&loop] { loop.quit(); };
    if (stopSignals.arrived())
        cancelAll();
    for (auto& thread : threads_)
        thread->start();
    if (done_ < static_cast<int>(targets_.size()))
        loop.exec();
    allDone_ = nullptr;
    for (auto& thread : threads_)
        thread->wait();
    const int code = exitCodeOf(results_);
    sink_.finished(code);
    return code;
}

} // namespace posflash
