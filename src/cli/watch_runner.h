#pragma once

#include "cli/multi_download.h"
#include "cli/target_filter.h"
#include "ports/hotplug_usb_inventory.h"

#include <QObject>
#include <QSet>

#include <map>
#include <memory>
#include <vector>

class QThread;

namespace posflash {

class BootSwitch;
class ProcessSignals;
class TerminalOutput;

// posflash-cli download --watch: every printer that appears on the USB bus, now or later, is
// updated once, on a thread of its own as in a download to several, until a stop signal.
// Printers are told apart by serial number (or place on the bus): one already updated in this
// run is not updated again; one that failed is tried again once it was pulled out and plugged
// back in. With inboot, a printer that shows only its raw device is first switched into its
// boot loader. It learns of printers from the host's device events, never by looking again on
// a clock.
class WatchRunner : public QObject, private MultiEventSink {
public:
    WatchRunner(MultiSettings settings, UsbTargetFilter filter, bool inboot, MultiEventSink& view,
                TerminalOutput& err);
    ~WatchRunner() override;

    // Until a stop signal: 0 when every printer seen completed, else 1.
    int run(ProcessSignals& stopSignals);

private:
    void event(const TargetEvent& e) override;
    void finished(int exitCode) override;
    void targetAdded(const MultiTarget& target) override;

    void scan();
    void stop();
    void switchToBootLoader(const UsbDeviceEntry& device);
    int exitCode() const;

    MultiSettings settings_;
    UsbTargetFilter filter_;
    bool inboot_;
    MultiEventSink& view_;
    TerminalOutput& err_;
    HotplugUsbInventory inventory_; // shared with the boot-loader switches' threads
    MultiDownload downloads_;
    bool stopped_ = false;

    std::vector<QString> keyOf_;             // by target index
    std::map<QString, TargetResult> result_; // by printer, its latest download's
    QSet<QString> running_;
    QSet<QString> presentBefore_; // at the scan before this one
    QSet<QString> switched_;      // sent into the boot loader in this run
    std::vector<std::unique_ptr<BootSwitch>> switches_;
    std::vector<std::unique_ptr<QThread>> switchThreads_;
};

} // namespace posflash
