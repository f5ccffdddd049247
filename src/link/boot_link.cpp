#include "link/boot_link.h"

#include "base/panel.h"
#include "base/userfunction.h"
#include "base/wait_hub.h"
#include "ports/mcommunicate.h"
#include "ports/usb_class.h"
#include "protocol/reply_checker.h"

#include <algorithm>

namespace posflash {

BootLink::BootLink(PortModel& portModel, UsbClass& usb, WaitHub& waits, Panel& panel,
                   const Faces& faces)
    : portModel_(portModel), usb_(usb), waits_(waits), panel_(panel), faces_(faces) {}

void BootLink::beginDownload(bool font) {
    state_.FontDownload = font;
    state_.ReplyFromSocket = CheckGetDataMode(portModel_.portKind(), font, panel_.fontBootDown());
}

void BootLink::endDownload() {
    state_.FontDownload = false;
}

bool BootLink::fontThroughFirmware() const {
    return FontThroughFirmware(portModel_.portKind(), state_.FontDownload, panel_.fontBootDown());
}

void BootLink::setStep(short step) {
    state_.BootloadrStep = step;
}

void BootLink::setExpectedFrameNo(short frameNo) {
    state_.ExpectedFrameNo = frameNo;
}

void BootLink::clearReplyResult() {
    state_.ReplyResult = Verdict::None;
}

void BootLink::requestAbort() {
    state_.AbortRequested = true;
    waits_.recheck();
}

void BootLink::closeNetworkLink() {
    if (network_ != nullptr)
        network_->closeLink();
}

void BootLink::Bootloadr_Link() {
    // Cleared whatever the port kind, so no cancel or stale acceptance carries over.
    state_.ReplyResult = Verdict::None;
    state_.AbortRequested = false;
    linkRefused_ = false;

    if (portModel_.portKind() == PortKindValue::Com) {
        if (usb_.FindUsbComPort(false))
            state_.ReplyResult = Verdict::Accepted;
    } else if (!linkOverNetwork()) {
        return;
    }
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

    const bool viaFirmware = fontThroughFirmware();
    Failure failure;
    if (viaFirmware) {
        state_.BootloadrStep = step::kFontMode;
        failure = network_->startFontModeLink();
    } else {
        state_.BootloadrStep = step::kLink;
        failure = network_->startBootLoaderLink();
    }
    if (failure) {
        if (!failure->text.isEmpty())
            ShowTipsBox(panel_, failure->text, 1);
        linkRefused_ = true;
        state_.AbortRequested = true; // the reason is on screen; never wait for nothing
    }

    if (startElapsedTimer)
        startElapsedTimer();
    // No time limit: the printer's answer or the cancel button ends this wait; on the way
    // through the running firmware, so does the loss of its connection.
    const auto accepted = [this] { return state_.ReplyResult == Verdict::Accepted; };
    waits_.waitFor(
        [&] {
            return accepted() || state_.AbortRequested ||
                   (viaFirmware && !network_->fontModeLinkUp());
        },
        std::nullopt);
    if (!accepted() && !state_.AbortRequested && viaFirmware && !network_->fontModeLinkUp()) {
        // The printer closed or reset the connection before confirming: no answer can come.
        linkRefused_ = true;
        state_.AbortRequested = true;
    }
    return true;
}

void BootLink::udpTFTP_DataArrival(ByteView reply) {
    const Verdict verdict = JudgeReply(state_.BootloadrStep, state_.ExpectedFrameNo, reply);
    if (verdict == Verdict::None)
        return;
    if (state_.BootloadrStep == step::kBootpAnswered && network_ != nullptr)
        network_->linkDatagramArrived();
    state_.ReplyResult = verdict;
    waits_.recheck();
}

void BootLink::socketArrival(ByteView datagram) {
    if (state_.ReplyFromSocket)
        udpTFTP_DataArrival(datagram);
}

void BootLink::receiveBufferArrival(ByteView received) {
    if (!state_.ReplyFromSocket)
        udpTFTP_DataArrival(received);
}

} // namespace posflash
