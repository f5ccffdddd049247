#include "download/download_run.h"

#include "base/faces.h"
#include "download/download_texts.h"
#include "download/error_causes.h"
#include "download/image_verdict.h"
#include "link/boot_command.h"
#include "link/link_texts.h"
#include "link/network_boot.h"
#include "link/serial_transport.h"
#include "link/tcp_monitor.h"
#include "ports/printer_usb.h"
#include "ports/serial_aim.h"
#include "protocol/frames.h"
#include "protocol/pc_code.h"
#include "protocol/reply_checker.h"

namespace posflash {

using EventKind = DownloadEvent::Kind;

DownloadRun::DownloadRun(DownloadJob job, QString bootFilePath, Parts parts,
                         DownloadObserver& observer, QObject* parent)
    : QObject(parent), job_(std::move(job)), bootFilePath_(std::move(bootFilePath)), parts_(parts),
      observer_(observer), liveRoute_(job_.route), replyDeadline_([this] { attemptOver(); }) {
    // Every wait is at least as long as its number says: a coarse timer may fire 5 % early and
    // lose a reply that came in time.
    for (QTimer* timer : {&linkTimer_, &pauseTimer_}) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    connect(&linkTimer_, &QTimer::timeout, this, [this] {
        if (state_ == State::Linking)
            endTransfer(Outcome::Failed, Cause::LinkTimeout);
    });
    frameDataSize_ = FrameDataSizeOf(job_.kind);
    result_.imagePath = job_.imagePath;
    result_.imageName = job_.imageName;
    result_.font = job_.kind == ImageKind::Font;
    result_.linkTimeoutMs = job_.linkTimeoutMs.value_or(0);
    result_.printer = job_.printer;
}

DownloadRun::~DownloadRun() = default;

DownloadEvent DownloadRun::event(EventKind kind) const {
    DownloadEvent e;
    e.kind = kind;
    e.step = step_;
    e.frame = dataIndex_ + 1;
    e.accepted = result_.framesAccepted;
    e.frames = frameCount_;
    return e;
}

void DownloadRun::setState(State state) {
    if (state == state_)
        return;
    state_ = state;
    emit stateChanged(state);
}

template <typename Then>
void DownloadRun::notify(DownloadEvent event, Then then) {
    const State before = state_;
    observer_.onEvent(event);
    if (state_ == before)
        then();
}

void DownloadRun::notify(DownloadEvent event) {
    notify(std::move(event), [] {});
}

FrameTransport& DownloadRun::transportFor(Route route) {
    switch (route) {
    case Route::Com:
        return parts_.serial;
    case Route::FontThroughFirmware:
        return parts_.monitor;
    case Route::Network:
        break;
    }
    return parts_.network;
}

void DownloadRun::serialLineFailed(const Error& error) {
    lineLost_ = true;
    DownloadEvent e = event(EventKind::LineError);
    e.lineError = error;
    notify(std::move(e));
}

void DownloadRun::setRoute(Route route) {
    liveRoute_ = route;
}

void DownloadRun::refuse(const QDateTime& startedAt, Cause cause) {
    result_.startedAt = startedAt;
    endTransfer(Outcome::Refused, cause, Error{});
}

void DownloadRun::start(const QDateTime& startedAt, std::uint64_t pcCodeSeed) {
    startedAt_ = startedAt;
    pcCodeSeed_ = pcCodeSeed;
    result_.startedAt = startedAt;
    clock_.start();
    if (job_.route == Route::Com) {
        Result<Printer> aim = parts_.serialAimer.aim(job_.printer, parts_.faces);
        if (!aim) {
            endTransfer(Outcome::Refused, Cause::PortMissing, aim.error());
            return;
        }
        result_.printer = std::move(*aim);
    }
    if (job_.imagePath.isEmpty()) {
        endTransfer(Outcome::Refused, Cause::FileNotOpen, Error{0, texts::fileNotOpen(), {}});
        return;
    }
    // Replies are read only where the job's route reads them; the serial line's failures are
    // heard whatever the route, since a changed route may send on it.
    connect(&transportFor(job_.route), &FrameTransport::replied, this, &DownloadRun::judgeReply);
    connect(&parts_.serial, &FrameTransport::lineError, this, &DownloadRun::serialLineFailed);
    if (job_.route == Route::Network) {
        connect(&parts_.network, &NetworkBoot::bootpAnswered, this,
                [this] { setStep(step::kBootpAnswered, [] {}); });
        connect(&parts_.network, &NetworkBoot::answeredWithoutGreeting, this,
                [this](const QString& requester) {
                    DownloadEvent e = event(EventKind::NoGreeting);
                    e.address = requester;
                    e.printerAddress = job_.printer.ip;
                    notify(std::move(e));
                });
        connect(&parts_.network, &NetworkBoot::otherSender, this,
                [this](const QString& sender, const QString& printer) {
                    DownloadEvent e = event(EventKind::OtherSender);
                    e.address = sender;
                    e.printerAddress = printer;
                    notify(std::move(e));
                });
    }
    stage_ = Stage::Link;
    setState(State::Linking);
    notify(event(EventKind::Started), [this] { linkToBootLoader(); });
}

void DownloadRun::linkToBootLoader() {
    if (job_.route == Route::Com) {
        // A device the user named was found when the line was aimed at it; a COM number counts
        // as linked when any printer's virtual COM device is present.
        if (!job_.printer.namesDevice() && !parts_.usb.printerComPresent())
            endTransfer(Outcome::Failed, Cause::PrinterAbsent);
        else
            linkUp();
        return;
    }
    if (job_.printer.ip.isEmpty()) {
        endTransfer(Outcome::Failed, Cause::AddressMissing, Error{0, link_texts::emptyIp(), {}});
        return;
    }
    // Asked even where no MAC is used (through the running firmware).
    if (job_.printer.mac.isEmpty()) {
        endTransfer(Outcome::Failed, Cause::AddressMissing, Error{0, link_texts::emptyMac(), {}});
        return;
    }
    if (Status address = parts_.network.setPrinter(job_.printer.ip, job_.printer.mac); !address) {
        endTransfer(Outcome::Failed, Cause::BadAddress, address.error());
        return;
    }
    if (job_.linkTimeoutMs)
        linkTimer_.start(*job_.linkTimeoutMs);
    if (job_.route == Route::FontThroughFirmware)
        startFirmwareLink();
    else
        startNetworkLink();
}

void DownloadRun::startNetworkLink() {
    setStep(step::kLink, [this] { startNetworkBoot(); });
}

void DownloadRun::startNetworkBoot() {
    const QString bootFile = bootFilePath_.isEmpty() ? job_.imagePath : bootFilePath_;
    if (Status started = parts_.network.startLink(bootFile); !started) {
        endTransfer(Outcome::Failed, CauseOfError(started.error()), started.error());
        return;
    }
    // No time limit of its own: the printer's answer or a cancel ends this wait.
    notify(event(EventKind::Linking));
}

void DownloadRun::startFirmwareLink() {
    setStep(step::kFontMode,
            [this] { notify(event(EventKind::EnteringBootLoader), [this] { askFirmware(); }); });
}

void DownloadRun::askFirmware() {
    connect(&parts_.bootCommand, &BootCommand::finished, this, &DownloadRun::bootCommandFinished,
            Qt::SingleShotConnection);
    connect(&parts_.monitor, &TcpMonitor::lost, this, [this] {
        // The printer closed or reset the connection before confirming: no answer can come.
        if (state_ == State::Linking && !parts_.bootCommand.isRunning())
            endTransfer(Outcome::Failed, Cause::MonitorUnreachable);
    });
    parts_.bootCommand.start({job_.printer, true, true});
}

void DownloadRun::bootCommandFinished() {
    if (state_ != State::Linking)
        return;
    if (cancelRequested_) {
        endTransfer(Outcome::Cancelled, Cause::Cancelled);
        return;
    }
    if (!parts_.monitor.isUsable()) {
        endTransfer(Outcome::Failed, Cause::MonitorUnreachable);
        return;
    }
    notify(event(EventKind::Linking));
}

template <typename Then>
void DownloadRun::setStep(short step, Then then) {
    const bool changed = !stepTold_ || step != step_;
    step_ = step;
    result_.step = step;
    stepTold_ = true;
    // Told only when it changes: the data frames share one step.
    if (changed)
        notify(event(EventKind::Step), std::move(then));
    else
        then();
}

void DownloadRun::judgeReply(ByteView reply) {
    if (state_ == State::Linking) {
        if (step_ != step::kLink && step_ != step::kBootpAnswered && step_ != step::kFontMode)
            return;
        if (JudgeReply(step_, expectedFrameNo_, reply) != ReplyVerdict::Accepted)
            return;
        if (step_ == step::kBootpAnswered)
            parts_.network.linkDatagramAccepted();
        else if (step_ == step::kLink)
            parts_.network.stopAnswering();
        linkUp();
        return;
    }
    if (!sendingFrames() || !awaitingReply_)
        return;
    switch (JudgeReply(step_, expectedFrameNo_, reply)) {
    case ReplyVerdict::Accepted:
        frameAccepted();
        return;
    case ReplyVerdict::RefusedStatus5:
    case ReplyVerdict::RefusedStatus6:
        refusalStatus_ = ReplyStatus(reply).value_or(0);
        replyDeadline_.stop();
        attemptOver();
        return;
    case ReplyVerdict::None:
        // An acceptance of another frame (a late answer to a repeat) is ignored, but noted:
        // it tells a printer that counts differently from one that is silent. A piece too short
        // to carry a frame number (a reply split over two arrivals) names no frame at all.
        if (step_ == step::kDataFrame && reply.size() >= frame::kFrameNoAt + 2 &&
            ReplyStatus(reply) == 4)
            wrongFrameSeen_ = wrongFrameInFrame_ = true;
        return;
    }
}

void DownloadRun::linkUp() {
    linkTimer_.stop();
    if (job_.route == Route::FontThroughFirmware)
        disconnect(&parts_.monitor, &TcpMonitor::lost, this, nullptr);
    setState(State::Sending);
    stage_ = Stage::Image;
    notify(event(EventKind::Linked), [this] { loadImage(); });
}

void DownloadRun::loadImage() {
    // A job without a loaded image reads its file now, after the link, as the window's always
    // did; the very bytes that are sent are judged here either way.
    const Result<SharedImage> image = job_.image
                                          ? Result<SharedImage>(job_.image)
                                          : LoadImage(job_.imagePath, job_.kind, job_.imageName);
    if (image.ok()) {
        result_.bytes = static_cast<qint64>((*image)->bytes.size());
        result_.sha256 = (*image)->sha256;
    }
    if (const auto refused = JudgeImage(parts_.faces, image, job_.imagePath, job_.kind)) {
        endTransfer(Outcome::Refused, refused->cause, Error{0, refused->text, {}});
        return;
    }
    image_ = *image;
    stage_ = Stage::Frames;
    sendStartFrame();
}

void DownloadRun::sendStartFrame() {
    frame_ = BuildStartFrame(
        job_.kind, image_->bytes, startedAt_.toString(QStringLiteral("yyMMdd")).toStdString(),
        startedAt_.toString(QStringLiteral("HHmmss")).toStdString(), GetPcCodeData(pcCodeSeed_));
    result_.crc16 = getU16(frame_, frame::kImageCrcAt);
    sendFrameAndWait(static_cast<std::uint8_t>(Command::Start), step::kStartFrame,
                     job_.timing.startWaitMs);
}

void DownloadRun::sendFrameAndWait(std::uint8_t command, short step, int waitMs) {
    if (frame_.size() > frame::kCommandAt)
        frame_[frame::kCommandAt] = command;
    waitMs_ = waitMs;
    attempt_ = 0;
    wrongFrameInFrame_ = false;
    lineLost_ = false;
    setStep(step, [this] { attempt(); });
}

Cause DownloadRun::retryCause() const {
    if (refusalStatus_)
        return Cause::PrinterRefused;
    return wrongFrameSeen_ ? Cause::WrongFrameNumber : Cause::PrinterSilent;
}

void DownloadRun::attempt() {
    if (attempt_ > 0) {
        ++result_.retries;
        DownloadEvent e = event(EventKind::Retrying);
        e.attempt = attempt_ + 1;
        e.cause = retryCause();
        e.status = refusalStatus_.value_or(0);
        notify(std::move(e), [this] { sendAttempt(); });
        return;
    }
    sendAttempt();
}

void DownloadRun::sendAttempt() {
    ++attempt_;
    result_.attempts = attempt_;
    refusalStatus_.reset();
    wrongFrameSeen_ = false;
    // The transport is chosen anew for every attempt. Nothing between the hand-over and the
    // start of the wait lets a reply be judged, so none can be judged and then lost there.
    if (liveRoute_ == Route::Com)
        serialHold_.hold(parts_.serial);
    Status sent = transportFor(liveRoute_).send(frame_);
    sendFault_ = sent.ok() ? std::nullopt : std::optional<Error>(sent.error());
    handedOver_ = handedOver_ || sent.ok();
    awaitingReply_ = true;
    replyDeadline_.start(waitMs_);
    DownloadEvent e = event(EventKind::FrameSent);
    e.attempt = attempt_;
    e.serial = liveRoute_ == Route::Com;
    e.sendError = sendFault_;
    notify(std::move(e));
}

void DownloadRun::attemptOver() {
    if (attempt_ < job_.timing.attempts) {
        attempt();
        return;
    }
    awaitingReply_ = false;
    frameFailed();
}

void DownloadRun::frameAccepted() {
    replyDeadline_.stop();
    awaitingReply_ = false;
    switch (step_) {
    case step::kStartFrame:
        frameCount_ = static_cast<int>(DataFrameCount(image_->bytes.size(), frameDataSize_));
        result_.frames = frameCount_;
        expectedFrameNo_ = 1;
        notify(event(EventKind::FramesKnown), [this] { nextDataFrame(0); });
        return;
    case step::kDataFrame:
        result_.framesAccepted = dataIndex_ + 1;
        ++expectedFrameNo_;
        nextDataFrame(dataIndex_ + 1);
        return;
    case step::kEndFrame:
        frame_ = BuildClosingFrame(job_.kind, Command::Final, lastFrameSum_);
        sendFrameAndWait(static_cast<std::uint8_t>(Command::Final), step::kFinalFrame,
                         job_.timing.finalWaitMs);
        return;
    default:
        endTransfer(Outcome::Completed, Cause::None);
        return;
    }
}

void DownloadRun::nextDataFrame(int index) {
    if (index >= frameCount_) {
        dataIndex_ = -1;
        setState(State::Closing);
        notify(event(EventKind::Closing), [this] {
            frame_ = BuildClosingFrame(job_.kind, Command::End, lastFrameSum_);
            sendFrameAndWait(static_cast<std::uint8_t>(Command::End), step::kEndFrame,
                             job_.timing.endWaitMs);
        });
        return;
    }
    dataIndex_ = index;
    result_.frame = index + 1;
    // A cancel stops the download here, before the next data frame.
    if (cancelRequested_) {
        endTransfer(Outcome::Cancelled, Cause::Cancelled);
        return;
    }
    BuildDataFrameInto(frame_, job_.kind, image_->bytes, static_cast<std::size_t>(index) + 1,
                       frameDataSize_);
    lastFrameSum_ = FrameSumOf(frame_);
    sendFrameAndWait(static_cast<std::uint8_t>(Command::Data), step::kDataFrame,
                     job_.timing.dataWaitMs);
}

void DownloadRun::frameFailed() {
    Cause cause = Cause::PrinterSilent;
    Error error{0, texts::downloadFailed(parts_.faces), {}};
    if (refusalStatus_) {
        cause = Cause::PrinterRefused;
        result_.refusalStatus = *refusalStatus_;
    } else if (wrongFrameInFrame_) {
        cause = Cause::WrongFrameNumber;
    } else if (lineLost_) {
        cause = Cause::Disconnected;
    } else if (sendFault_) {
        // A line that carried this download's frames and then cannot be opened has gone away
        // (unplugged, switched off): it is not a port that was never there.
        cause = handedOver_ ? Cause::Disconnected : CauseOfError(*sendFault_);
        // The system's words only: the serial error's own text is the window's, in one face.
        error.detail = sendFault_->detail;
    }
    endTransfer(Outcome::Failed, cause, error);
}

void DownloadRun::cancel() {
    if (state_ == State::Closing || state_ == State::Ended || state_ == State::Done ||
        cancelRequested_)
        return;
    cancelRequested_ = true;
    // The link wait ends at once; the command that asks the firmware for font mode finishes
    // its own short waits first.
    if (state_ == State::Linking && !parts_.bootCommand.isRunning())
        endTransfer(Outcome::Cancelled, Cause::Cancelled);
}

void DownloadRun::stop() {
    if (state_ == State::Done)
        return;
    if (state_ == State::Ready || state_ == State::Linking) {
        parts_.bootCommand.abort();
        if (state_ != State::Done)
            endTransfer(Outcome::Cancelled, Cause::Cancelled);
    } else if (sendingFrames()) {
        endTransfer(Outcome::Failed, Cause::Stopped);
    }
    // No pause before the ports close.
    if (state_ == State::Ended) {
        pauseTimer_.stop();
        closePorts();
    }
}

void DownloadRun::endTransfer(Outcome outcome, Cause cause, Error error) {
    replyDeadline_.stop();
    linkTimer_.stop();
    awaitingReply_ = false;
    const bool opened = state_ != State::Ready;
    setState(State::Ended);
    result_.outcome = outcome;
    result_.cause = cause;
    result_.error = std::move(error);
    result_.stage = stage_;
    result_.elapsedMs = clock_.elapsed();
    DownloadEvent e = event(EventKind::TransferEnded);
    e.result = &result_;
    notify(std::move(e), [this, opened] {
        if (!opened) { // refused before anything was opened
            finish();
            return;
        }
        disconnect(&pauseTimer_, nullptr, this, nullptr);
        connect(&pauseTimer_, &QTimer::timeout, this, &DownloadRun::closePorts);
        pauseTimer_.start(kCloseDelayMs);
    });
}

void DownloadRun::closePorts() {
    if (state_ != State::Ended)
        return;
    setState(State::Done); // nothing more is judged
    serialHold_.release();
    bool monitorWasOpen = false;
    if (job_.route != Route::Com || liveRoute_ != Route::Com) {
        parts_.network.close();
        monitorWasOpen = parts_.monitor.closeConnection(job_.printer.ip);
    }
    if (!monitorWasOpen) {
        finish();
        return;
    }
    // The printer needs a moment after the connection closes.
    disconnect(&pauseTimer_, nullptr, this, nullptr);
    connect(&pauseTimer_, &QTimer::timeout, this, &DownloadRun::finish);
    pauseTimer_.start(TcpMonitor::kAfterCloseMs);
}

void DownloadRun::finish() {
    setState(State::Done);
    pauseTimer_.stop();
    result_.elapsedMs = clock_.elapsed();
    for (QObject* part :
         std::initializer_list<QObject*>{&parts_.serial, &parts_.network, &parts_.monitor})
        disconnect(part, nullptr, this, nullptr);
    // The engine lets go of this run first, so the observer may start the next job at once.
    emit done();
    DownloadEvent e = event(EventKind::Finished);
    e.result = &result_;
    observer_.onEvent(e);
}

} // namespace posflash
