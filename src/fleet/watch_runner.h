#pragma once

#include "fleet/multi_download.h"
#include "fleet/target_filter.h"
#include "ports/hotplug_usb_inventory.h"

#include <QObject>
#include <QSet>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace posflash {

class BootSwitch;

// A download to every printer that appears on the USB bus, now or later, once each, on the
// same event loop as a download to several, until stopped. Printers are told apart by serial
// number (or place on the bus): one already updated in this run is not updated again; one
// that failed is tried again once it was pulled out and plugged back in. With inboot, a
// printer that shows only its raw device is first switched into its boot loader. It learns
// of printers from the host's device events, never by looking again on a clock.
class WatchRunner : public QObject, private MultiEventSink {
public:
    // switched: a printer at a USB path took the boot-loader command, or did not.
    WatchRunner(MultiSettings settings, UsbTargetFilter filter, bool inboot, ComPortMap& comPorts,
                MultiEventSink& view, DownloadHistory* history,
                std::function<void(const QString& usbPath, bool sent)> switched);
    ~WatchRunner() override;

    // Watches until stop(); ended(exitCode) follows once every download has ended: 0 when
    // every printer seen completed, else 1.
    void start(std::function<void(int)> ended);
    // As MultiDownload::stop(): the first cancels, a second ends at once.
    void stop();
    bool anyClosing() const { return downloads_.anyClosing(); }

private:
    void onEvent(const DownloadEvent& e) override;
    void finished(int exitCode) override;
    void targetAdded(const MultiTarget& target) override;

    void scan();
    void switchToBootLoader(const UsbDeviceEntry& device);
    int exitCode() const;

    UsbTargetFilter filter_;
    bool inboot_;
    bool english_;
    MultiEventSink& view_;
    std::function<void(const QString&, bool)> switched_;
    HotplugUsbInventory inventory_;
    MultiDownload downloads_;
    bool stopped_ = false;

    std::vector<QString> keyOf_;        // by target index
    std::map<QString, Outcome> result_; // by printer, its latest download's
    QSet<QString> running_;
    QSet<QString> presentBefore_; // at the scan before this one
    QSet<QString> sentToBoot_;    // sent into the boot loader in this run
    std::vector<std::unique_ptr<BootSwitch>> switches_;
};

} // namespace posflash
