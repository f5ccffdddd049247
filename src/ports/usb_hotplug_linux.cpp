#include "ports/usb_hotplug.h"

#include <QSocketNotifier>

#include <libudev.h>

#include <cerrno>

namespace posflash {

struct UsbHotplugMonitor::Backend {
    udev* context = nullptr;
    udev_monitor* monitor = nullptr;

    Backend() {
        context = udev_new();
        if (!context)
            return;
        // "udev" events come after the rules ran, so the nodes and their access are in place.
        monitor = udev_monitor_new_from_netlink(context, "udev");
        if (!monitor)
            return;
        const bool subscribed =
            udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", nullptr) >= 0 &&
            udev_monitor_filter_add_match_subsystem_devtype(monitor, "tty", nullptr) >= 0 &&
            udev_monitor_filter_add_match_subsystem_devtype(monitor, "usbmisc", nullptr) >= 0 &&
            udev_monitor_enable_receiving(monitor) >= 0;
        if (!subscribed) {
            udev_monitor_unref(monitor);
            monitor = nullptr;
        }
    }
    ~Backend() {
        if (monitor)
            udev_monitor_unref(monitor);
        if (context)
            udev_unref(context);
    }
    Backend(const Backend&) = delete;
    Backend& operator=(const Backend&) = delete;
};

UsbHotplugMonitor::UsbHotplugMonitor(QObject* parent)
    : QObject(parent), backend_(std::make_unique<Backend>()) {
    if (!backend_->monitor)
        return;
    const int fd = udev_monitor_get_fd(backend_->monitor);
    if (fd < 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &UsbHotplugMonitor::readEvents);
}

UsbHotplugMonitor::~UsbHotplugMonitor() = default;

bool UsbHotplugMonitor::isActive() const {
    return notifier_ != nullptr;
}

void UsbHotplugMonitor::readEvents() {
    bool changed = false;
    {
        const std::lock_guard hold(lock_);
        changed = takeEvents();
    }
    if (changed)
        emit devicesChanged();
}

std::uint64_t UsbHotplugMonitor::changeCount() {
    if (!notifier_)
        return 0;
    const std::lock_guard hold(lock_);
    if (takeEvents())
        // Queued, so a receiver that asks the inventory again never finds this lock held.
        QMetaObject::invokeMethod(this, &UsbHotplugMonitor::devicesChanged, Qt::QueuedConnection);
    return changes_;
}

bool UsbHotplugMonitor::takeEvents() {
    // The monitor's socket does not block: take every event that is waiting. A socket whose
    // buffer overflowed lost events, which is a change too; its queue is read on after that.
    bool any = false;
    for (;;) {
        errno = 0;
        if (udev_device* device = udev_monitor_receive_device(backend_->monitor)) {
            udev_device_unref(device);
            any = true;
        } else if (errno == ENOBUFS) {
            any = true;
        } else {
            break;
        }
    }
    if (any)
        ++changes_;
    return any;
}

} // namespace posflash
