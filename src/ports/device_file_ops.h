#pragma once

#include "base/bytes.h"

#include <QString>

#include <cstddef>

namespace posflash {

// The three file calls raw output makes, so tests can stand in short and failing writes.
class DeviceFileOps {
public:
    virtual ~DeviceFileOps() = default;
    // A descriptor, or -1 when the node could not be opened.
    virtual int open(const QString& path) = 0;
    // The count of bytes written, or -1 on failure.
    virtual std::ptrdiff_t write(int fd, ByteView bytes) = 0;
    virtual void close(int fd) = 0;
};

// open/write/close of the host, for a printer node (/dev/usb/lpN) or a tty node alike.
class SystemDeviceFileOps final : public DeviceFileOps {
public:
    int open(const QString& path) override;
    std::ptrdiff_t write(int fd, ByteView bytes) override;
    void close(int fd) override;
};

} // namespace posflash
