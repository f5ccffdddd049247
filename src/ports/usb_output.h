#pragma once

#include "base/bytes.h"
#include "ports/device_file_ops.h"

#include <cstddef>

namespace posflash {

class UsbClass;

// Raw output to the printer's USB device node (UsbDevicePath), used while the boot-loader
// command runs. The device stays open between sends.
class UsbOutput {
public:
    static constexpr std::size_t kPieceSize = 8192;
    static constexpr int kMaxAttempts = 4; // the first write and three retries
    static constexpr int kClosed = -1;

    explicit UsbOutput(UsbClass& usb);              // the host's file calls
    UsbOutput(UsbClass& usb, DeviceFileOps& files); // stand-ins for tests
    ~UsbOutput();
    UsbOutput(const UsbOutput&) = delete;
    UsbOutput& operator=(const UsbOutput&) = delete;

    // Opens UsbDevicePath when the device is present. The open descriptor (the one already
    // open, if any), or kClosed when nothing is open.
    int OpenUsbDevice();
    // Closes the device. Also when it has left the inventory: its descriptor is dead anyway.
    void CloseUsbDevice();
    // Writes every byte, in pieces of at most kPieceSize. A failed write (or one that writes
    // nothing) closes the device, and the next attempt reopens it and goes on with the bytes
    // not yet written. False when the device is absent, cannot be opened, or kMaxAttempts
    // attempts failed; nothing is opened for an absent device.
    bool UsbSendData(ByteView bytes);

    int UsbDeviceHandle() const { return handle_; }

private:
    UsbClass& usb_;
    SystemDeviceFileOps systemFiles_;
    DeviceFileOps& files_;
    int handle_ = kClosed;
};

} // namespace posflash
