#include "download/frame_sender.h"

#include "base/panel.h"
#include "base/wait_hub.h"
#include "download/download_texts.h"
#include "link/boot_link.h"
#include "link/frame_transport.h"
#include "protocol/frames.h"

namespace posflash {

FrameSender::FrameSender(FrameTransport& transport, BootLink& link, WaitHub& waits, Panel& panel,
                         const Faces& faces)
    : transport_(transport), link_(link), waits_(waits), panel_(panel), faces_(faces) {}

void FrameSender::SetBootloadrStep(short step) {
    link_.setStep(step);
}

bool FrameSender::BootTFTPSendData(Bytes& txbuf, std::uint8_t cmd, short step, int delayTimeMs) {
    SetBootloadrStep(step);
    if (txbuf.size() > frame::kCommandAt)
        txbuf[frame::kCommandAt] = cmd;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0 && onRetry)
            onRetry(step, attempt + 1);
        // Nothing between the hand-over and the clearing of ReplyResult runs the event loop,
        // so no reply can be judged and then lost there. A transport that cannot send shows
        // up as an attempt without a reply.
        transport_.sendFrame(txbuf);
        WaitTFTPSendDataOK(delayTimeMs);
        if (link_.state().ReplyResult == Verdict::Accepted)
            return true;
        if (waits_.isShuttingDown())
            return false;
    }
    panel_.setStatusLabel(texts::downloadFailed(faces_));
    return false;
}

void FrameSender::WaitTFTPSendDataOK(int delayTimeMs) {
    link_.clearReplyResult();
    waits_.waitFor([this] { return link_.state().ReplyResult != Verdict::None; }, delayTimeMs);
}

} // namespace posflash
