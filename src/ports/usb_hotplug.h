#pragma once

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace posflash {

// Tells at once when a USB device or a serial node comes or goes, from the host's device
// events on the event loop. The once-a-second presence check stays the safety net: when the
// host gives no events, this monitor simply never signals.
class UsbHotplugMonitor : public QObject {
    Q_OBJECT
public:
    explicit UsbHotplugMonitor(QObject* parent = nullptr);
    ~UsbHotplugMonitor() override;

    // False when the host's device events could not be subscribed to.
    bool isActive() const;

signals:
    // Once per batch of events that arrived together; ask the inventory what changed.
    void devicesChanged();

private:
    void readEvents();

    struct Backend;
    std::unique_ptr<Backend> backend_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace posflash
