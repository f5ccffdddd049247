#include "printer-sim/pty_transport.h"

#include "printer-sim/wire.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace posflash::sim {

namespace {

QString errnoText(const char* what) {
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

posflash::Result<std::unique_ptr<PtyTransport>> PtyTransport::open() {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0) {
        return posflash::Error{errno, errnoText("posix_openpt")};
    }
    char name[256] = {};
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        const posflash::Error failed{errno, errnoText("pseudo-terminal setup")};
        ::close(master);
        return failed;
    }
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    // Our own slave descriptor stays open for the whole run: without it the master reads EIO
    // each time the tool closes the port, and the line settings would be lost in between.
    const int slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios settings{};
    if (slave < 0 || ::tcgetattr(slave, &settings) != 0) {
        const posflash::Error failed{errno, errnoText("opening the pseudo-terminal slave")};
        if (slave >= 0)
            ::close(slave);
        ::close(master);
        return failed;
    }
    ::cfmakeraw(&settings);
    ::cfsetspeed(&settings, B115200);
    ::tcsetattr(slave, TCSANOW, &settings);
    return std::unique_ptr<PtyTransport>(
        new PtyTransport(master, slave, QString::fromLocal8Bit(name)));
}

PtyTransport::PtyTransport(int master, int slave, QString slavePath)
    : master_(master), slave_(slave), slavePath_(std::move(slavePath)),
      readNotifier_(std::make_unique<QSocketNotifier>(master, QSocketNotifier::Read)),
      writeNotifier_(std::make_unique<QSocketNotifier>(master, QSocketNotifier::Write)) {
    writeNotifier_->setEnabled(false);
    connect(readNotifier_.get(), &QSocketNotifier::activated, this, &PtyTransport::readable);
    connect(writeNotifier_.get(), &QSocketNotifier::activated, this, &PtyTransport::flush);
}

PtyTransport::~PtyTransport() {
    close();
}

posflash::Status PtyTransport::linkAs(const QString& path) {
    const QFileInfo existing(path);
    if (existing.isSymLink()) {
        if (!QFile::remove(path)) {
            return posflash::Error{EEXIST,
                                   QStringLiteral("cannot replace the symlink %1").arg(path)};
        }
    } else if (existing.exists()) {
        return posflash::Error{
            EEXIST, QStringLiteral("%1 exists and is not a symlink; leaving it alone").arg(path)};
    }
    if (::symlink(QFile::encodeName(slavePath_).constData(), QFile::encodeName(path).constData()) !=
        0) {
        return posflash::Error{errno, errnoText("symlink")};
    }
    linkPath_ = path;
    return {};
}

void PtyTransport::readable() {
    char buffer[4096];
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n > 0) {
        emit received(QByteArray(buffer, static_cast<qsizetype>(n)), MonotonicMicros());
        return;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    // Cannot happen while we hold the slave open; stop rather than spin on a dead line.
    const QString why = n == 0 ? QStringLiteral("pseudo-terminal closed") : errnoText("read");
    readNotifier_->setEnabled(false);
    emit failed(why);
}

void PtyTransport::send(const QByteArray& bytes, Written onWritten) {
    if (master_ < 0)
        return;
    queue_.push_back({bytes, 0, std::move(onWritten)});
    if (queue_.size() == 1)
        flush();
}

void PtyTransport::flush() {
    while (master_ >= 0 && !queue_.empty()) {
        Outgoing& head = queue_.front();
        const ssize_t n = ::write(master_, head.bytes.constData() + head.done,
                                  static_cast<std::size_t>(head.bytes.size() - head.done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            // The tool is not reading; go on when the line drains.
            writeNotifier_->setEnabled(true);
            return;
        }
        if (n < 0) {
            queue_.clear();
            emit failed(errnoText("write"));
            return;
        }
        head.done += n;
        if (head.done < head.bytes.size())
            continue;
        const Written done = std::move(head.onWritten);
        queue_.pop_front();
        if (done)
            done(MonotonicMicros()); // may close the line; the loop condition checks
    }
    if (writeNotifier_)
        writeNotifier_->setEnabled(false);
}

void PtyTransport::close() {
    if (master_ < 0)
        return;
    readNotifier_->setEnabled(false);
    writeNotifier_->setEnabled(false);
    queue_.clear();
    ::close(master_);
    ::close(slave_);
    master_ = slave_ = -1;
    if (!linkPath_.isEmpty() && QFileInfo(linkPath_).symLinkTarget() == slavePath_)
        QFile::remove(linkPath_);
    linkPath_.clear();
}

} // namespace posflash::sim
