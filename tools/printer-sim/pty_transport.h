#pragma once

#include "base/error.h"
#include "printer-sim/transport.h"

#include <QSocketNotifier>

#include <deque>
#include <memory>

namespace posflash::sim {

// A pseudo-terminal: the tool opens the slave side as its serial port, we hold the master.
class PtyTransport final : public Transport {
    Q_OBJECT
public:
    // Empty on failure, with the reason in `error`.
    static posflash::Result<std::unique_ptr<PtyTransport>> open();
    ~PtyTransport() override;

    QString slavePath() const { return slavePath_; }
    // A stable name for the line; an existing symlink there is replaced, anything else kept.
    posflash::Status linkAs(const QString& path);

    void send(const QByteArray& bytes, Written onWritten) override;
    void close() override;

private:
    PtyTransport(int master, int slave, QString slavePath);
    void readable();
    void flush();

    struct Outgoing {
        QByteArray bytes;
        qsizetype done = 0;
        Written onWritten;
    };

    int master_ = -1;
    int slave_ = -1;
    QString slavePath_;
    QString linkPath_;
    std::unique_ptr<QSocketNotifier> readNotifier_;
    std::unique_ptr<QSocketNotifier> writeNotifier_;
    std::deque<Outgoing> queue_;
};

} // namespace posflash::sim
