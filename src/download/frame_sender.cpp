#include "download/frame_sender.h"

#include "base/panel.h"
#include "base/userfunction.h"
#include "base/wait_hub.h"
#include "download/download_state.h"
#include "download/download_texts.h"
#include "ports/mcommunicate.h"
#include "ports/port_state.h"
#include "protocol/frames.h"
#include "protocol/reply_checker.h"

namespace posflash {

FrameSender::FrameSender(DownloadState& download, PortState& ports, PortModel& portModel,
                         WaitHub& waits, Panel& panel, const Faces& faces)
    : download_(download), ports_(ports), portModel_(portModel), waits_(waits), panel_(panel),
      faces_(faces) {}

void FrameSender::SetBootloadrStep(short step) {
    download_.BootloadrStep = step;
}

void FrameSender::sendOnce(ByteView frame) {
    // Chosen anew for every attempt. A font download through the running firmware uses the
    // TCP connection, except on a COM port, where the link and the replies already are.
    const bool viaFirmware = download_.FontDownload && fontBootDown && !fontBootDown();
    if (viaFirmware && ports_.PortKind != PortKindValue::Com) {
        if (tcpSend)
            tcpSend(frame);
    } else if (ports_.PortKind == PortKindValue::Com) {
        portModel_.PortSendData(frame);
    } else if (udpSend) {
        udpSend(frame);
    }
    // A transport that cannot send shows up as an attempt without a reply.
}

bool FrameSender::BootTFTPSendData(Bytes& txbuf, std::uint8_t cmd, short step, int delayTimeMs) {
    SetBootloadrStep(step);
    if (txbuf.size() > frame::kCommandAt)
        txbuf[frame::kCommandAt] = cmd;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        // Nothing between the hand-over and the clearing of ReplyResult runs the event loop,
        // so no reply can be judged and then lost there.
        sendOnce(txbuf);
        WaitTFTPSendDataOK(delayTimeMs);
        if (download_.ReplyResult == static_cast<short>(Verdict::Accepted))
            return true;
        if (waits_.isShuttingDown())
            return false; // the program is quitting: no message box
    }
    panel_.setStatusLabel(texts::downloadFailed(faces_));
    ShowTipsBox(panel_, panel_.statusLabel(), 1);
    return false;
}

void FrameSender::WaitTFTPSendDataOK(int delayTimeMs) {
    download_.ReplyResult = 0;
    waits_.waitFor([this] { return download_.ReplyResult != 0; }, delayTimeMs);
}

} // namespace posflash
