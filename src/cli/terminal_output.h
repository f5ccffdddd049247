#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class QSocketNotifier;

namespace posflash {

// Standard output or standard error, written without ever blocking: a reader that stalls (a
// pager, a stopped terminal) holds text back in a bounded buffer that the event loop sends on
// when the reader is ready again; a reader that went away (a closed pipe) makes later text
// vanish. A download never waits for, nor dies of, its own messages.
class TerminalOutput {
public:
    explicit TerminalOutput(int fd);
    ~TerminalOutput();
    TerminalOutput(const TerminalOutput&) = delete;
    TerminalOutput& operator=(const TerminalOutput&) = delete;

    void write(const QString& text);

    // Before the program ends: waits at most timeoutMs for held-back text to leave, and not at
    // all once stopFd (the signal descriptor) turns readable.
    void drain(int stopFd, int timeoutMs);

    static constexpr qsizetype kMaxHeldBytes = 64 * 1024;

private:
    void send();

    int fd_ = -1;
    bool ownFd_ = false;
    bool socket_ = false;
    bool gone_ = false;
    QByteArray held_;
    std::unique_ptr<QSocketNotifier> writable_;
};

} // namespace posflash
