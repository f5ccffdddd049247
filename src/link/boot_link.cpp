#include "link/boot_link.h"

#include "base/panel.h"
#include "base/userfunction.h"
#include "base/wait_hub.h"
#include "download/download_state.h"
#include "ports/port_state.h"
#include "ports/usb_class.h"
#include "protocol/reply_checker.h"

#include <algorithm>

namespace posflash {

BootLink::BootLink(DownloadState& download, PortState& ports, UsbClass& usb, WaitHub& waits,
                   Panel& panel, const Faces& faces)
    : download_(download), ports_(ports), usb_(usb), waits_(waits), panel_(panel), faces_(faces) {}

void BootLink::Bootloadr_Link() {
    // Cleared whatever the port kind, so no cancel or stale acceptance carries over.
    download_.ReplyResult = 0;
    download_.AbortRequested = false;
    linkRefused_ = false;

    if (ports_.PortKind == PortKindValue::Com) {
        if (usb_.FindUsbComPort(false))
            download_.ReplyResult = static_cast<short>(Verdict::Accepted);
    } else if (!linkOverNetwork()) {
        return;
    }
    download_.ElapsedTenths = 0;
    if (startElapsedTimer)
        startElapsedTimer();
}

bool BootLink::linkOverNetwork() {
    if (panel_.ipAddressText().isEmpty()) {
        ShowTipsBox(panel_, QStringLiteral("IP 地址不能为空！"), 1);
        return false;
    }
    if (panel_.macAddressText().isEmpty()) {
        ShowTipsBox(panel_, QStringLiteral("MAC 地址不能为空！"), 1);
        return false;
    }
    if (network_ == nullptr)
        return false; // an engine without sockets (a test's) has no network link

    const bool viaFirmware = download_.FontDownload && fontBootDown && !fontBootDown();
    bool started = false;
    if (viaFirmware) {
        download_.BootloadrStep = step::kFontMode;
        started = network_->startFontModeLink();
    } else {
        download_.BootloadrStep = step::kLink;
        started = network_->startBootLoaderLink();
    }
    if (!started) {
        linkRefused_ = true;
        download_.AbortRequested = true; // the reason is on screen; never wait for nothing
    }

    download_.ElapsedTenths = 0;
    if (startElapsedTimer)
        startElapsedTimer();
    // No time limit: the printer's answer or the cancel button ends this wait; on the way
    // through the running firmware, so does the loss of its connection.
    const auto accepted = [this] {
        return download_.ReplyResult == static_cast<short>(Verdict::Accepted);
    };
    waits_.waitFor(
        [&] {
            return accepted() || download_.AbortRequested ||
                   (viaFirmware && !network_->fontModeLinkUp());
        },
        std::nullopt);
    if (!accepted() && !download_.AbortRequested && viaFirmware && !network_->fontModeLinkUp()) {
        // The printer closed or reset the connection before confirming: no answer can come.
        linkRefused_ = true;
        download_.AbortRequested = true;
    }
    return true;
}

void BootLink::udpTFTP_DataArrival(ByteView reply) {
    const Verdict verdict = JudgeReply(download_.BootloadrStep, download_.ExpectedFrameNo, reply);
    if (verdict == Verdict::None)
        return;
    if (download_.BootloadrStep == step::kBootpAnswered && network_ != nullptr)
        network_->linkDatagramArrived();
    download_.ReplyResult = static_cast<short>(verdict);
    waits_.recheck();
}

void BootLink::socketArrival(ByteView datagram) {
    if (download_.ReplyFromSocket)
        udpTFTP_DataArrival(datagram);
}

void BootLink::receiveBufferArrival(std::size_t count) {
    if (download_.ReplyFromSocket)
        return;
    const std::size_t n = std::min(count, ports_.ReceiveBuffer.size());
    udpTFTP_DataArrival(ByteView(ports_.ReceiveBuffer.data(), n));
}

} // namespace posflash
