#pragma once

#include "printer-sim/deadline_timer.h"
#include "printer-sim/transport.h"
#include "printer-sim/wire_pace.h"

#include <QJsonObject>

#include <deque>
#include <optional>

namespace posflash::sim {

// A line at a given baud rate in front of one that has none (a pseudo-terminal): what the
// tool writes reaches the boot loader only once its bytes have crossed the wire, and a reply
// reaches the tool only once its own bytes have.
class PacedLine final : public Transport {
    Q_OBJECT
public:
    PacedLine(Transport& line, int baud, QObject* parent = nullptr);
    // False when the system gave no timer; the line cannot be paced then.
    bool isValid() const { return inTimer_.isValid() && outTimer_.isValid(); }

    void send(const QByteArray& bytes, Written onWritten) override;
    void close() override;
    bool holdsIncomingBytes() const override { return !incoming_.empty(); }

    // The wire's figures for the report: see WirePace::report().
    QJsonObject report() const { return pace_.report(); }

private:
    struct Timed {
        QByteArray bytes;
        std::int64_t startNs = 0; // the first byte goes onto the line
        std::int64_t endNs = 0;   // the last byte has crossed it
        Written onWritten;
    };

    void arrived(const QByteArray& bytes);
    void deliverDue();
    void writeDue();

    Transport& line_;
    WirePace pace_;
    DeadlineTimer inTimer_;
    DeadlineTimer outTimer_;
    std::deque<Timed> incoming_;
    std::deque<Timed> outgoing_;
    // While a delivery is handled: the instant its last byte crossed. A reply made at once
    // is ready then, however late the wake-up came.
    std::optional<std::int64_t> deliveredAtNs_;
    bool closed_ = false;
};

} // namespace posflash::sim
