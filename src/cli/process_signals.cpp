#include "cli/process_signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace posflash {

ProcessSignals::ProcessSignals() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);

    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    // The descriptor comes first: without it the signals keep their usual, abrupt effect.
    fd_ = ::signalfd(-1, &stop, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd_ >= 0)
        ::pthread_sigmask(SIG_BLOCK, &stop, nullptr);
}

ProcessSignals::~ProcessSignals() {
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

void ProcessSignals::watch(std::function<void()> onStop) {
    onStop_ = std::move(onStop);
    if (fd_ < 0 || notifier_)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        readPending();
        if (arrived_ && onStop_)
            onStop_();
    });
}

bool ProcessSignals::arrived() {
    readPending();
    return arrived_;
}

void ProcessSignals::readPending() {
    if (fd_ < 0)
        return;
    signalfd_siginfo info{};
    while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        arrived_ = true;
}

} // namespace posflash
