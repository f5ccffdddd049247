#pragma once

#include <QAbstractEventDispatcher>
#include <QDir>
#include <QFile>

#include <vector>

namespace posflash::soak {

// Open descriptors of this process (the listing's own descriptor counts every time alike).
inline int OpenDescriptors() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                                .size());
}

// Resident memory of this process in KiB, or -1.
inline long ResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// The timers registered with this thread's event dispatcher, whoever owns them: a parentless
// member QTimer, a single-shot, a startTimer(). Timer ids come from a free list that hands
// released ids out again, so they stay below the most timers ever alive at once and a scan of
// the low ids sees every one; the dispatcher answers -1 for an id it does not run.
inline std::vector<int> RunningTimerIds() {
    constexpr int kHighestId = 8192;
    std::vector<int> ids;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    for (int id = 1; id <= kHighestId; ++id)
        if (dispatcher->remainingTime(id) >= 0)
            ids.push_back(id);
    return ids;
}

} // namespace posflash::soak
