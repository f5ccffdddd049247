#include "ports/usb_output.h"

#include "ports/usb_class.h"

#include <algorithm>

namespace posflash {

UsbOutput::UsbOutput(UsbClass& usb) : usb_(usb), files_(systemFiles_) {}

UsbOutput::UsbOutput(UsbClass& usb, DeviceFileOps& files) : usb_(usb), files_(files) {}

UsbOutput::~UsbOutput() {
    CloseUsbDevice();
}

int UsbOutput::OpenUsbDevice() {
    if (handle_ != kClosed)
        return handle_;
    if (!usb_.FindUsbDevice() || usb_.UsbDevicePath().isEmpty())
        return kClosed;
    const int fd = files_.open(usb_.UsbDevicePath());
    handle_ = fd >= 0 ? fd : kClosed;
    return handle_;
}

void UsbOutput::CloseUsbDevice() {
    if (handle_ == kClosed)
        return;
    files_.close(handle_);
    handle_ = kClosed;
}

bool UsbOutput::UsbSendData(ByteView bytes) {
    if (bytes.empty() || !usb_.FindUsbDevice())
        return false;
    std::size_t offset = 0;
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        if (OpenUsbDevice() == kClosed)
            return false;
        while (offset < bytes.size()) {
            const std::size_t n = std::min(kPieceSize, bytes.size() - offset);
            const std::ptrdiff_t written = files_.write(handle_, bytes.subspan(offset, n));
            // Nothing written is no progress, and more than asked is no answer to trust.
            if (written <= 0 || static_cast<std::size_t>(written) > n)
                break;
            offset += static_cast<std::size_t>(written);
        }
        if (offset == bytes.size())
            return true;
        CloseUsbDevice();
    }
    return false;
}

} // namespace posflash
