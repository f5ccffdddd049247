#pragma once

#include <QObject>

#include <cstdint>
#include <memory>
#include <mutex>

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

    // How many batches of events have come so far, counting those still unread on the socket,
    // which this reads without blocking. Callable from any thread: a cache compares it with
    // the count it was made at, whichever thread's event loop runs first. When it reads
    // events, devicesChanged follows from this monitor's own event loop.
    std::uint64_t changeCount();

signals:
    // Once per batch of events that arrived together; ask the inventory what changed.
    void devicesChanged();

private:
    void readEvents();
    // Reads every waiting event; true when there was any. With the lock held.
    bool takeEvents();

    struct Backend;
    std::unique_ptr<Backend> backend_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::mutex lock_; // the socket and the count, read from the event loop and by changeCount()
    std::uint64_t changes_ = 0;
};

} // namespace posflash
