#pragma once

#include <functional>
#include <memory>

class QSocketNotifier;

namespace posflash {

// The process's stop signals as events. Made first thing in main(): SIGINT, SIGTERM and SIGHUP
// (what a logout or a shutdown sends) are held for every thread the program will start and
// read from a signalfd, so they can end the run only through the event loop, cleanly; SIGPIPE is
// ignored, so a closed output pipe is a failed write, not a dead process. Nothing in the program
// may block while they are held.
class ProcessSignals {
public:
    ProcessSignals();
    ~ProcessSignals();
    ProcessSignals(const ProcessSignals&) = delete;
    ProcessSignals& operator=(const ProcessSignals&) = delete;

    // Calls onStop from the event loop once for each stop signal that arrives (needs the
    // application).
    void watch(std::function<void()> onStop);
    // Whether a stop signal has arrived, including one still waiting to be read.
    bool arrived();
    int fd() const { return fd_; }

private:
    // The signals read now.
    int readPending();

    int fd_ = -1;
    bool arrived_ = false;
    std::function<void()> onStop_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace posflash
