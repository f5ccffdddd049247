#include "base/process_signals.h"

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
    sigaddset(&stop, SIGHUP);
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
        // Each signal counts: a second Ctrl-C means more than the first.
        for (int n = readPending(); n > 0 && onStop_; --n)
            onStop_();
    });
}

bool ProcessSignals::arrived() {
    readPending();
    return arrived_;
}

int ProcessSignals::readPending() {
    if (fd_ < 0)
        return 0;
    int count = 0;
    signalfd_siginfo info{};
    while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        ++count;
    arrived_ = arrived_ || count > 0;
    return count;
}

} // namespace posflash
