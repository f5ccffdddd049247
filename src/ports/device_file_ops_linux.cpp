#include "ports/device_file_ops.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace posflash {

int SystemDeviceFileOps::open(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || name.contains('\0'))
        return -1;
    // O_NONBLOCK only for the open itself: a tty without CLOCAL would wait for a carrier.
    const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        ::close(fd);
        return -1;
    }
    // A tty node would turn 0A into 0D 0A and eat control bytes: raw bytes need a raw line.
    termios line{};
    if (::isatty(fd) && ::tcgetattr(fd, &line) == 0) {
        ::cfmakeraw(&line);
        line.c_cflag |= CLOCAL;
        if (::tcsetattr(fd, TCSANOW, &line) != 0) {
            ::close(fd);
            return -1;
        }
    }
    return fd;
}

std::ptrdiff_t SystemDeviceFileOps::write(int fd, ByteView bytes) {
    for (;;) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        // A signal is no fault of the device; only a real failure may cost an attempt.
        if (written < 0 && errno == EINTR)
            continue;
        return written;
    }
}

void SystemDeviceFileOps::close(int fd) {
    if (fd >= 0)
        ::close(fd);
}

} // namespace posflash
