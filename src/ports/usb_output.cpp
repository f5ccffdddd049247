#include "ports/usb_output.h"

#include "ports/printer_usb.h"

#include <algorithm>

namespace posflash {

UsbOutput::UsbOutput(PrinterUsb& usb) : usb_(usb), files_(systemFiles_) {}

UsbOutput::UsbOutput(PrinterUsb& usb, DeviceFileOps& files) : usb_(usb), files_(files) {}

UsbOutput::~UsbOutput() {
    close();
}

int UsbOutput::open() {
    if (handle_ != kClosed)
        return handle_;
    if (!usb_.findPrinterDevice() || usb_.rawDevicePath().isEmpty())
        return kClosed;
    const int fd = files_.open(usb_.rawDevicePath());
    handle_ = fd >= 0 ? fd : kClosed;
    return handle_;
}

void UsbOutput::close() {
    if (handle_ == kClosed)
        return;
    files_.close(handle_);
    handle_ = kClosed;
}

bool UsbOutput::send(ByteView bytes) {
    if (bytes.empty() || !usb_.findPrinterDevice())
        return false;
    std::size_t offset = 0;
    for (int attempt = 1; attempt <= kMaxAttempts; ++attempt) {
        if (open() == kClosed)
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
        close();
    }
    return false;
}

} // namespace posflash
