#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <cstdint>
#include <memory>

namespace posflash::sim {

// A one-shot wake-up at a monotonic instant, to the nanosecond, on the event loop. QTimer
// counts whole milliseconds, more than ten bytes take at 115200 baud.
class DeadlineTimer : public QObject {
    Q_OBJECT
public:
    explicit DeadlineTimer(QObject* parent = nullptr);
    ~DeadlineTimer() override;
    bool isValid() const { return fd_ >= 0; }

    // Replaces any earlier deadline; one already past is reached on the next loop turn.
    void armAt(std::int64_t monotonicNs);
    void disarm();

signals:
    void reached();

private:
    void expired();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace posflash::sim
