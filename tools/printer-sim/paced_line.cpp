#include "printer-sim/paced_line.h"

#include "printer-sim/wire.h"

namespace posflash::sim {

PacedLine::PacedLine(Transport& line, int baud, QObject* parent)
    : Transport(parent), line_(line), pace_(baud) {
    connect(&line_, &Transport::received, this, &PacedLine::arrived);
    connect(&line_, &Transport::failed, this, &Transport::failed);
    connect(&inTimer_, &DeadlineTimer::reached, this, &PacedLine::deliverDue);
    connect(&outTimer_, &DeadlineTimer::reached, this, &PacedLine::writeDue);
}

void PacedLine::arrived(const QByteArray& bytes) {
    if (closed_)
        return;
    const std::int64_t now = MonotonicNanos();
    const std::int64_t endNs = pace_.received(static_cast<std::size_t>(bytes.size()), now);
    incoming_.push_back(
        {bytes, endNs - pace_.wireNs(static_cast<std::size_t>(bytes.size())), endNs, {}});
    if (incoming_.size() == 1)
        inTimer_.armAt(endNs);
}

void PacedLine::deliverDue() {
    const std::int64_t now = MonotonicNanos();
    while (!closed_ && !incoming_.empty() && incoming_.front().endNs <= now) {
        Timed due = std::move(incoming_.front());
        incoming_.pop_front();
        deliveredAtNs_ = due.endNs;
        // Stamped with its first byte's time, as the boot loader times a frame from there.
        emit received(due.bytes, due.startNs / 1000);
        deliveredAtNs_.reset();
    }
    if (!closed_ && !incoming_.empty())
        inTimer_.armAt(incoming_.front().endNs);
}

void PacedLine::send(const QByteArray& bytes, Written onWritten) {
    if (closed_)
        return;
    const std::int64_t ready = deliveredAtNs_.value_or(MonotonicNanos());
    const std::int64_t endNs = pace_.toSend(static_cast<std::size_t>(bytes.size()), ready);
    outgoing_.push_back({bytes, 0, endNs, std::move(onWritten)});
    if (outgoing_.size() == 1)
        outTimer_.armAt(endNs);
}

void PacedLine::writeDue() {
    const std::int64_t now = MonotonicNanos();
    while (!closed_ && !outgoing_.empty() && outgoing_.front().endNs <= now) {
        Timed due = std::move(outgoing_.front());
        outgoing_.pop_front();
        const auto count = static_cast<std::size_t>(due.bytes.size());
        // The callback may close this line: it touches the pace, never the queues.
        line_.send(due.bytes, [this, count, done = std::move(due.onWritten)](std::int64_t atUs) {
            pace_.sent(count, atUs * 1000);
            if (done)
                done(atUs);
        });
    }
    if (!closed_ && !outgoing_.empty())
        outTimer_.armAt(outgoing_.front().endNs);
}

void PacedLine::close() {
    if (closed_)
        return;
    closed_ = true;
    inTimer_.disarm();
    outTimer_.disarm();
    incoming_.clear();
    outgoing_.clear();
    line_.close();
}

} // namespace posflash::sim
