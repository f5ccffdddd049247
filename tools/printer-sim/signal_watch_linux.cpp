#include "printer-sim/signal_watch.h"

#include <csignal>
#include <sys/signalfd.h>
#include <unistd.h>

namespace posflash::sim {

namespace {

sigset_t setOf(std::initializer_list<int> signalNumbers) {
    sigset_t set;
    sigemptyset(&set);
    for (const int number : signalNumbers)
        sigaddset(&set, number);
    return set;
}

} // namespace

void SignalWatch::blockInThisThread(std::initializer_list<int> signalNumbers) {
    const sigset_t set = setOf(signalNumbers);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

SignalWatch::SignalWatch(std::initializer_list<int> signalNumbers, QObject* parent)
    : QObject(parent) {
    const sigset_t set = setOf(signalNumbers);
    fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0)
        return;
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalWatch::readable);
}

SignalWatch::~SignalWatch() {
    notifier_.reset();
    if (fd_ >= 0)
        ::close(fd_);
}

void SignalWatch::readable() {
    signalfd_siginfo info{};
    while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        emit caught(static_cast<int>(info.ssi_signo));
}

} // namespace posflash::sim
