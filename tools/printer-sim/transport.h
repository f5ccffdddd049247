#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

namespace posflash::sim {

// The line the boot loader listens on. The serial one is a pseudo-terminal; network ones
// (UDP datagrams, a TCP connection) go beside it and feed the same boot loader.
class Transport : public QObject {
    Q_OBJECT
public:
    // Called with the monotonic time (microseconds) at which the last byte left.
    using Written = std::function<void(std::int64_t atUs)>;

    using QObject::QObject;
    ~Transport() override = default;

    // Writes go out in the order they are sent, each as its own write.
    virtual void send(const QByteArray& bytes, Written onWritten) = 0;
    // Stops reading and writing and releases the line; safe to call twice.
    virtual void close() = 0;
    // True when each reception is a whole message (a datagram): what it leaves unfinished
    // will never be completed by the next one.
    virtual bool keepsMessageBoundaries() const { return false; }
    // True while bytes already received are still crossing a slow line: a frame they
    // continue is not cut short yet.
    virtual bool holdsIncomingBytes() const { return false; }

signals:
    void received(const QByteArray& bytes, qint64 atUs);
    void failed(const QString& why);
};

} // namespace posflash::sim
