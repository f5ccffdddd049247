#pragma once

#include "base/bytes.h"
#include "base/error.h"

#include <QObject>

namespace posflash {

// One medium to the printer, owning both directions: a frame goes out through send(), and
// each arrival from the printer comes back as replied(). Which replies count, and for what,
// is the download's to judge.
class FrameTransport : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Hands the frame over; an error when it could not be (the attempt then simply gets no
    // reply).
    virtual Status send(ByteView frame) = 0;
    // Lets go of the medium; a later send takes it up again where the medium allows.
    virtual void close() {}

signals:
    // One arrival: a datagram, or what one receive event delivered (at most 1024 bytes).
    void replied(posflash::ByteView reply);
    // The medium failed while taken up (a serial device gone) and was let go; the next send
    // takes it up again.
    void lineError(const posflash::Error& error);
};

} // namespace posflash
