#include "cli/terminal_output.h"

#include <QElapsedTimer>
#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posflash {

TerminalOutput::TerminalOutput(int fd) : fd_(fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return;
    if (S_ISSOCK(st.st_mode)) {
        socket_ = true; // send() takes a per-call "do not wait"
    } else if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) {
        // A descriptor of our own, so that O_NONBLOCK does not leak into the shell's shared
        // one. A pipe without a reader refuses the open: its writes fail at once anyway.
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        const int own = ::open(self.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (own >= 0) {
            fd_ = own;
            ownFd_ = true;
        }
    }
    // A regular file never keeps a writer waiting: its descriptor is used as it is.
}

TerminalOutput::~TerminalOutput() {
    writable_.reset();
    if (ownFd_)
        ::close(fd_);
}

void TerminalOutput::write(const QString& text) {
    if (gone_)
        return;
    const QByteArray bytes = text.toUtf8();
    if (held_.size() + bytes.size() > kMaxHeldBytes)
        return; // the reader is far behind: progress text is worth less than the download
    held_ += bytes;
    send();
}

void TerminalOutput::send() {
    while (!held_.isEmpty()) {
        const ssize_t n = socket_
                              ? ::send(fd_, held_.constData(), static_cast<size_t>(held_.size()),
                                       MSG_DONTWAIT | MSG_NOSIGNAL)
                              : ::write(fd_, held_.constData(), static_cast<size_t>(held_.size()));
        if (n > 0) {
            held_.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!writable_) {
                writable_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Write);
                QObject::connect(writable_.get(), &QSocketNotifier::activated, [this] { send(); });
            }
            writable_->setEnabled(true);
            return;
        }
        gone_ = true; // EPIPE and kin: nobody reads any more
        held_.clear();
    }
    if (writable_)
        writable_->setEnabled(false);
}

void TerminalOutput::drain(int stopFd, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!held_.isEmpty() && !gone_) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return;
        pollfd fds[2] = {{fd_, POLLOUT, 0}, {stopFd, POLLIN, 0}};
        const int ready = ::poll(fds, stopFd >= 0 ? 2 : 1, static_cast<int>(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0 || (stopFd >= 0 && (fds[1].revents & POLLIN)))
            return;
        send();
    }
}

} // namespace posflash
