#include "fleet/watch_runner.h"

#include "engine/engine.h"
#include "ports/com_port_map.h"
#include "unit/printer_parse.h"

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

// Sends one printer the boot-loader command through an engine of its own, on the run's
// event loop; switched hears whether the printer took it.
class BootSwitch : private DownloadObserver {
public:
    BootSwitch(HotplugUsbInventory& host, const UsbDeviceEntry& device, bool english,
               std::function<void(const QString&, bool)> switched)
        : usbPath_(device.usbPath), switched_(std::move(switched)),
          inventory_(host, device.usbPath), engine_(comPorts_, inventory_) {
        engine_.faces().setUseEnglish(english);
        engine_.watchDevices(&host.monitor());
    }

    void send() {
        InbootJob job;
        job.printer.usbPath = usbPath_;
        engine_.sendBootCommand(job, *this);
    }
    void stop() { engine_.stop(); }

private:
    void onEvent(const DownloadEvent& e) override {
        if (e.kind == DownloadEvent::Kind::Finished && switched_)
            switched_(usbPath_, e.result->outcome == Outcome::Completed);
    }

    QString usbPath_;
    std::function<void(const QString&, bool)> switched_;
    ComPortMap comPorts_; // in memory: the raw device needs no COM number
    OneDeviceInventory inventory_;
    Engine engine_;
};

WatchRunner::WatchRunner(MultiSettings settings, UsbTargetFilter filter, bool inboot,
                         ComPortMap& comPorts, MultiEventSink& view, DownloadHistory* history,
                         std::function<void(const QString&, bool)> switched)
    : filter_(std::move(filter)), inboot_(inboot), english_(settings.english), view_(view),
      switched_(std::move(switched)),
      downloads_({}, std::move(settings), comPorts, inventory_, *this, history) {}

WatchRunner::~WatchRunner() = default;

void WatchRunner::start(std::function<void(int)> ended) {
    downloads_.setWatching([this](const auto&) { return exitCode(); });
    connect(&inventory_.monitor(), &UsbHotplugMonitor::devicesChanged, this, &WatchRunner::scan);
    // The printers present already, once the run's event loop turns.
    QMetaObject::invokeMethod(this, &WatchRunner::scan, Qt::QueuedConnection);
    downloads_.start(std::move(ended));
}

void WatchRunner::stop() {
    stopped_ = true;
    for (auto& s : switches_)
        s->stop();
    downloads_.stop();
}

int WatchRunner::exitCode() const {
    if (!running_.isEmpty())
        return 1;
    for (const auto& [key, result] : result_)
        if (result != Outcome::Completed)
            return 1;
    return 0;
}

void WatchRunner::scan() {
    if (stopped_)
        return;
    for (const auto& [device, key, seenBefore] :
         ScanPrinters(inventory_.devices(), filter_, inboot_, presentBefore_)) {
        const auto last = result_.find(key);
        const bool completed = last != result_.end() && last->second == Outcome::Completed;
        if (completed || running_.contains(key))
            continue;
        if (!IsComPrinter(device)) {
            if (!sentToBoot_.contains(key))
                switchToBootLoader(device);
            continue;
        }
        // A printer that failed is tried again only once it was pulled out and put back.
        if (last != result_.end() && seenBefore)
            continue;
        MultiTarget target;
        target.label = QStringLiteral("%1 (%2)").arg(
            device.serialNode, device.serial.isEmpty() ? "USB " + device.usbPath : device.serial);
        target.printer = PrinterOfUsbDevice(device);
        keyOf_.push_back(key);
        running_.insert(key);
        downloads_.addTarget(target);
    }
}

void WatchRunner::switchToBootLoader(const UsbDeviceEntry& device) {
    sentToBoot_.insert(PrinterKey(device));
    switches_.push_back(std::make_unique<BootSwitch>(inventory_, device, english_, switched_));
    switches_.back()->send();
}

void WatchRunner::onEvent(const DownloadEvent& e) {
    if (e.kind == DownloadEvent::Kind::UnitFinished) {
        const QString& key = keyOf_[static_cast<std::size_t>(e.target)];
        running_.remove(key);
        result_[key] = e.result->outcome;
    }
    view_.onEvent(e);
}

void WatchRunner::finished(int exitCode) {
    view_.finished(exitCode);
}

void WatchRunner::targetAdded(const MultiTarget& target) {
    view_.targetAdded(target);
}

} // namespace posflash
