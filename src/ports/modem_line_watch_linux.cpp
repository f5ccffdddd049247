#include "ports/modem_line_watch.h"

#include <QMetaObject>
#include <QObject>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <sys/ioctl.h>
#include <thread>

namespace posflash {

namespace {

// The signal that interrupts the blocked wait when the port closes. Its handler does nothing;
// it is installed without SA_RESTART so the ioctl returns EINTR.
int WakeSignal() {
    static const int number = [] {
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        sigaction(SIGRTMIN + 3, &action, nullptr);
        return SIGRTMIN + 3;
    }();
    return number;
}

class LinuxModemLineWatch final : public ModemLineWatch {
public:
    ~LinuxModemLineWatch() override { stop(); }

    void start(int fd, std::function<void()> onCarrierChange) override {
        stop();
        WakeSignal();
        stopping_ = false;
        exited_ = false;
        const int generation = ++generation_;
        thread_ = std::thread([this, fd, generation, onCarrierChange = std::move(onCarrierChange)] {
            while (!stopping_) {
                // Blocks until CD changes; fails at once where the driver cannot tell.
                if (::ioctl(fd, TIOCMIWAIT, TIOCM_CD) != 0) {
                    if (errno == EINTR)
                        continue;
                    break;
                }
                if (stopping_)
                    break;
                // A change posted before the port closed is not delivered after it.
                QMetaObject::invokeMethod(
                    &receiver_,
                    [this, generation, onCarrierChange] {
                        if (generation == generation_)
                            onCarrierChange();
                    },
                    Qt::QueuedConnection);
            }
            const std::lock_guard lock(mutex_);
            exited_ = true;
            exitedChanged_.notify_all();
        });
    }

    void stop() override {
        if (!thread_.joinable())
            return;
        stopping_ = true;
        // The signal may land just before the thread enters the ioctl; send it again until the
        // thread has left.
        std::unique_lock lock(mutex_);
        while (!exited_) {
            pthread_kill(thread_.native_handle(), WakeSignal());
            exitedChanged_.wait_for(lock, std::chrono::milliseconds(5));
        }
        lock.unlock();
        thread_.join();
        ++generation_;
    }

private:
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable exitedChanged_;
    bool exited_ = true;
    int generation_ = 0; // touched on the starting thread only
    QObject receiver_;   // delivers changes on the starting thread
};

} // namespace

std::unique_ptr<ModemLineWatch> MakeModemLineWatch() {
    return std::make_unique<LinuxModemLineWatch>();
}

} // namespace posflash
