#include "cli/watch_runner.h"

#include "base/ini_store.h"
#include "cli/process_signals.h"
#include "cli/quiet_panel.h"
#include "cli/terminal_output.h"
#include "engine/engine.h"
#include "ports/com_port_map.h"

#include <QThread>

namespace posflash {

namespace {

// One printer of the host's inventory, found again by its place on the bus: the boot-loader
// command goes to its raw device, and waits until it is back there.
class OneDeviceInventory : public UsbInventory {
public:
    OneDeviceInventory(const UsbInventory& host, QString usbPath)
        : host_(host), usbPath_(std::move(usbPath)) {}

    std::optional<std::vector<UsbDeviceEntry>> devices() const override {
        auto all = host_.devices();
        if (!all)
            return all;
        std::vector<UsbDeviceEntry> mine;
        for (UsbDeviceEntry& device : *all)
            if (device.usbPath == usbPath_)
                mine.push_back(std::move(device));
        return mine;
    }

private:
    const UsbInventory& host_;
    QString usbPath_;
};

} // namespace

// Sends one printer the boot-loader command on a thread of its own: the command's waits are
// nested event loops, which must not stack on the main thread's or another printer's.
class BootSwitch : public QObject {
public:
    BootSwitch(const UsbInventory& host, UsbDeviceEntry device, bool english)
        : host_(host), device_(std::move(device)), english_(english) {}

    void run() {
        IniStore settings;
        ComPortMap comPorts; // in memory: the raw device needs no COM number
        const OneDeviceInventory inventory(host_, device_.usbPath);
        QuietPanel panel({}, {}, {}, {});
        Engine engine(panel, settings, comPorts, inventory);
        engine_ = &engine;
        engine.faces().setUseEnglish(english_);
        engine.portModel().optPortSelect_Click(1);
        if (!cancelled_)
            engine.appToBoot().cmdAppToBoot_Click();
        sent_ = engine.appToBoot().commandSent();
        engine_ = nullptr;
    }
    // Queued from the main thread.
    void cancel() {
        cancelled_ = true;
        if (engine_)
            engine_->waits().shutdown();
    }
    bool sent() const { return sent_; }
    const UsbDeviceEntry& device() const { return device_; }

private:
    const UsbInventory& host_;
    const UsbDeviceEntry device_;
    const bool english_;
    Engine* engine_ = nullptr;
    bool cancelled_ = false;
    bool sent_ = false;
};

WatchRunner::WatchRunner(MultiSettings settings, UsbTargetFilter filter, bool inboot,
                         MultiEventSink& view, TerminalOutput& err)
    : settings_(settings), filter_(std::move(filter)), inboot_(inboot), view_(view), err_(err),
      downloads_({}, std::move(settings), *this) {}

WatchRunner::~WatchRunner() {
    for (auto& thread : switchThreads_)
        thread->wait();
}

int WatchRunner::run(ProcessSignals& stopSignals) {
    stopSignals.watch([this] { stop(); });
    if (stopSignals.arrived())
        stop();
    connect(&inventory_.monitor(), &UsbHotplugMonitor::devicesChanged, this, &WatchRunner::scan);
    // The printers present already, once the run's event loop turns.
    QMetaObject::invokeMethod(this, &WatchRunner::scan, Qt::QueuedConnection);
    const int code = downloads_.runUntilStopped([this](const auto&) { return exitCode(); });
    for (auto& thread : switchThreads_)
        thread->wait();
    return code;
}

void WatchRunner::stop() {
    stopped_ = true;
    downloads_.stop();
    for (auto& s : switches_) {
        BootSwitch* w = s.get();
        QMetaObject::invokeMethod(
            w, [w] { w->cancel(); }, Qt::QueuedConnection);
    }
}

int WatchRunner::exitCode() const {
    if (!running_.isEmpty())
        return 1;
    for (const auto& [key, result] : result_)
        if (result != TargetResult::Completed)
            return 1;
    return 0;
}

void WatchRunner::scan() {
    if (stopped_)
        return;
    const auto devices = inventory_.devices();
    if (!devices)
        return;
    QSet<QString> present;
    for (const UsbDeviceEntry& device : FilteredPrinters(*devices, filter_, inboot_)) {
        const QString key = PrinterKey(device);
        present.insert(key);
        const auto last = result_.find(key);
        const bool completed = last != result_.end() && last->second == TargetResult::Completed;
        if (completed || running_.contains(key))
            continue;
        if (!IsComPrinter(device)) {
            if (!switched_.contains(key))
                switchToBootLoader(device);
            continue;
        }
        // A printer that failed is tried again only once it was pulled out and put back.
        if (last != result_.end() && presentBefore_.contains(key))
            continue;
        MultiTarget target;
        target.label = QStringLiteral("%1 (%2)").arg(
            device.serialNode, device.serial.isEmpty() ? "USB " + device.usbPath : device.serial);
        target.device = device.serialNode;
        keyOf_.push_back(key);
        running_.insert(key);
        downloads_.addTarget(target);
    }
    presentBefore_ = present;
}

void WatchRunner::switchToBootLoader(const UsbDeviceEntry& device) {
    switched_.insert(PrinterKey(device));
    auto worker = std::make_unique<BootSwitch>(inventory_, device, settings_.english);
    BootSwitch* w = worker.get();
    std::unique_ptr<QThread> thread(QThread::create([w] { w->run(); }));
    thread->setObjectName(QStringLiteral("boot-%1").arg(switches_.size() + 1));
    worker->moveToThread(thread.get());
    connect(thread.get(), &QThread::finished, this, [this, w] {
        // Standard error: with --json, standard output carries the events only.
        err_.write(QStringLiteral("posflash-cli: the printer at USB %1 %2\n")
                       .arg(w->device().usbPath,
                            w->sent() ? QStringLiteral("was sent into its boot loader")
                                      : QStringLiteral("did not take the boot "
                                                       "loader command")));
    });
    switches_.push_back(std::move(worker));
    switchThreads_.push_back(std::move(thread));
    switchThreads_.back()->start();
}

void WatchRunner::event(const TargetEvent& e) {
    if (e.kind == TargetEvent::Kind::Done) {
        const QString& key = keyOf_[static_cast<std::size_t>(e.target)];
        running_.remove(key);
        result_[key] = e.result;
    }
    view_.event(e);
}

void WatchRunner::finished(int exitCode) {
    view_.finished(exitCode);
}

void WatchRunner::targetAdded(const MultiTarget& target) {
    view_.targetAdded(target);
}

} // namespace posflash
