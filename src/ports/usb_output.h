#pragma once

#include "base/bytes.h"
#include "ports/device_file_ops.h"

#include <cstddef>

namespace posflash {

class PrinterUsb;

// Raw output to the printer's USB device node (rawDevicePath), used while the boot-loader
// command runs. The device stays open between sends.
class UsbOutput {
public:
    static constexpr std::size_t kPieceSize = 8192;
    static constexpr int kMaxAttempts = 4; // the first write and three retries
    static constexpr int kClosed = -1;

    explicit UsbOutput(PrinterUsb& usb);              // the host's file calls
    UsbOutput(PrinterUsb& usb, DeviceFileOps& files); // stand-ins for tests
    ~UsbOutput();
    UsbOutput(const UsbOutput&) = delete;
    UsbOutput& operator=(const UsbOutput&) = delete;

    // Opens rawDevicePath when the device is present. The open descriptor (the one already
    // open, if any), or kClosed when nothing is open.
    int open();
    // Closes the device. Also when it has left the inventory: its descriptor is dead anyway.
    void close();
    // Writes every byte, in pieces of at most kPieceSize. A failed write (or one that writes
    // nothing) closes the device, and the next attempt reopens it and goes on with the bytes
    // not yet written. False when the device is absent, cannot be opened, or kMaxAttempts
    // attempts failed; nothing is opened for an absent device.
    bool send(ByteView bytes);

    int handle() const { return handle_; }

private:
    PrinterUsb& usb_;
    SystemDeviceFileOps systemFiles_;
    DeviceFileOps& files_;
    int handle_ = kClosed;
};

} // namespace posflash
