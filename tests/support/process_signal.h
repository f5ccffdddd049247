#pragma once

#include <QProcess>

#include <signal.h>

namespace posflash::test {

// A QProcess that has ended reports pid 0, and kill(0, …) signals the whole process group:
// the test runner and whatever started it. Signal only a child that is still running.
inline bool signalProcess(const QProcess& process, int signal) {
    const auto pid = static_cast<pid_t>(process.processId());
    if (process.state() == QProcess::NotRunning || pid <= 0)
        return false;
    return ::kill(pid, signal) == 0;
}

} // namespace posflash::test
