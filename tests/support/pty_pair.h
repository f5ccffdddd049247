#pragma once

#include "base/bytes.h"

#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace posflash::testing {

// A raw pseudo-terminal: the tool opens the slave as a serial port, the test uses the master.
class PtyPair {
public:
    PtyPair() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0)
            return;
        slavePath_ = QString::fromLocal8Bit(ptsname(master_));
        // Keep a slave open so the master never sees a hang-up between the tool's opens.
        slaveKeeper_ = ::open(ptsname(master_), O_RDWR | O_NOCTTY | O_CLOEXEC);
        termios t{};
        tcgetattr(slaveKeeper_, &t);
        cfmakeraw(&t);
        tcsetattr(slaveKeeper_, TCSANOW, &t);
    }
    ~PtyPair() {
        if (slaveKeeper_ >= 0)
            ::close(slaveKeeper_);
        if (master_ >= 0)
            ::close(master_);
    }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    bool ok() const { return master_ >= 0 && slaveKeeper_ >= 0; }
    QString slavePath() const { return slavePath_; }

    // Reads until n bytes arrived or timeoutMs passed without any.
    Bytes read(std::size_t n, int timeoutMs = 2000) {
        Bytes out;
        while (out.size() < n) {
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, timeoutMs) <= 0)
                break;
            std::uint8_t buf[4096];
            const ssize_t got = ::read(master_, buf, sizeof buf);
            if (got <= 0)
                break;
            out.insert(out.end(), buf, buf + got);
        }
        return out;
    }

    void write(ByteView bytes) {
        [[maybe_unused]] auto n = ::write(master_, bytes.data(), bytes.size());
    }

private:
    int master_ = -1;
    int slaveKeeper_ = -1;
    QString slavePath_;
};

} // namespace posflash::testing
