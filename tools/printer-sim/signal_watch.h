#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <initializer_list>
#include <memory>

namespace posflash::sim {

// Delivers termination signals as Qt events, so they are handled between two frames and
// never in the middle of one.
class SignalWatch : public QObject {
    Q_OBJECT
public:
    // Blocks the signals for this thread and the threads it starts later: call it first
    // thing in main(), before anything can start a thread.
    static void blockInThisThread(std::initializer_list<int> signalNumbers);

    explicit SignalWatch(std::initializer_list<int> signalNumbers, QObject* parent = nullptr);
    ~SignalWatch() override;
    bool isValid() const { return fd_ >= 0; }

signals:
    void caught(int signalNumber);

private:
    void readable();

    int fd_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace posflash::sim
