#include "download/download_driver.h"

#include "base/ini_store.h"
#include "base/panel.h"
#include "base/userfunction.h"
#include "base/wait_hub.h"
#include "download/download_texts.h"
#include "download/frame_sender.h"
#include "link/boot_link.h"
#include "ports/mcommunicate.h"
#include "protocol/frames.h"
#include "protocol/image_file.h"
#include "protocol/pc_code.h"

#include <limits>

namespace posflash {

DownloadDriver::DownloadDriver(Panel& panel, const Faces& faces, WaitHub& waits, IniStore& settings,
                               PortModel& portModel, FrameSender& sender, BootLink& link,
                               QObject* parent)
    : QObject(parent), panel_(panel), faces_(faces), waits_(waits), settings_(settings),
      portModel_(portModel), sender_(sender), link_(link) {
    timer1_.setInterval(kTimer1IntervalMs);
    connect(&timer1_, &QTimer::timeout, this, &DownloadDriver::Timer1_Timer);
    link_.startElapsedTimer = [this] { startTimer1(); };
    sender_.onRetry = [this](short step, int attempt) {
        ++summary_.retries;
        emit retrying(step, attempt);
    };
}

void DownloadDriver::btnDownloadFile_Click() {
    start(false);
}

void DownloadDriver::btnDownloadFontFile_Click() {
    start(true);
}

void DownloadDriver::start(bool font) {
    // A second download inside the running one would share its frames and its port.
    if (running_)
        return;
    link_.beginDownload(font);
    download_.FrameDataSize = font ? kFontFrameDataSize : kProgramFrameDataSize;
    download_.DownloadFilePath = font ? panel_.fontFilePath() : panel_.programFilePath();
    btnDownloadFile_function();
}

void DownloadDriver::startTimer1() {
    download_.ElapsedTenths = 0;
    timer1_.start();
}

void DownloadDriver::setDownloadTotal(int total) {
    download_.DownloadTotal = total;
}

void DownloadDriver::clearDownloadNum() {
    download_.DownloadNum = 0;
}

bool DownloadDriver::stopRequested() const {
    return link_.state().AbortRequested || waits_.isShuttingDown();
}

void DownloadDriver::btnDownloadFile_function() {
    if (running_)
        return;
    const QDateTime pressed = now();
    const QString date = pressed.toString(QStringLiteral("yyMMdd"));
    const QString time = pressed.toString(QStringLiteral("HHmmss"));

    if (download_.DownloadFilePath.isEmpty()) {
        ShowTipsBox(panel_, texts::fileNotOpen(), 1);
        link_.endDownload();
        lastOutcome_ = Outcome::NotStarted;
        return;
    }

    running_ = true;
    summary_ = Summary{};
    summary_.startedAt = pressed;
    summary_.filePath = download_.DownloadFilePath;
    summary_.font = link_.state().FontDownload;
    clock_.start();
    NowStatus(texts::downloadBegins(faces_));
    panel_.setDownloadEnabled(false);
    panel_.setAppToBootEnabled(false);
    panel_.setCancelEnabled(true);
    panel_.setStatusLabel(texts::establishingConnection(faces_));

    link_.Bootloadr_Link();
    Outcome outcome = Outcome::Failed;
    if (link_.state().ReplyResult != Verdict::Accepted || stopRequested()) {
        timer1_.stop();
        panel_.setStatusLabel(texts::linkFailed(faces_));
        outcome = link_.state().AbortRequested && !link_.linkRefused() ? Outcome::Cancelled
                                                                       : Outcome::Failed;
    } else {
        panel_.setStatusLabel(texts::readyForDownload(faces_));
        emit linked();
        outcome = transfer(date, time);
    }
    finish(outcome);
}

DownloadDriver::Outcome DownloadDriver::transfer(const QString& date, const QString& time) {
    // The very bytes that are sent are checked here, just before the start frame: the path
    // box may have been typed or restored, and the file replaced during the link wait.
    const LoadedImage image =
        LoadImageFile(download_.DownloadFilePath, MaxImageBytes(download_.FrameDataSize));
    if (image.ok())
        summary_.fileSize = static_cast<qint64>(image.bytes.size());
    const QString problem = refusalOf(image);
    if (!problem.isEmpty()) {
        // The elapsed timer would go on rewriting the status line under the refusal.
        timer1_.stop();
        panel_.setStatusLabel(problem);
        NowStatus(texts::downloadFailed(faces_));
        ShowTipsBox(panel_, problem, 1);
        return Outcome::Refused;
    }

    const Kind kind = link_.state().FontDownload ? Kind::Font : Kind::Program;
    download_.pcCode = GetPcCodeData(pcCodeSeed ? pcCodeSeed() : TimeOfDaySeed());
    Bytes frame = BuildStartFrame(kind, image.bytes, date.toStdString(), time.toStdString(),
                                  download_.pcCode);
    summary_.crc16 = getU16(frame, frame::kImageCrcAt);
    if (!sendFrame(frame, Command::Start, step::kStartFrame, kStartWaitMs))
        return Outcome::Failed;

    const auto frameCount =
        static_cast<int>(DataFrameCount(image.bytes.size(), download_.FrameDataSize));
    summary_.frames = frameCount;
    emit progress(0, frameCount);
    panel_.setProgressMax(frameCount);
    panel_.setProgressValue(0);
    link_.setExpectedFrameNo(1);
    std::uint16_t lastFrameSum = 0;
    for (int i = 0; i < frameCount; ++i) {
        panel_.setStatusLabel(texts::downloadingFrame(faces_, i, frameCount,
                                                      ElapsedSeconds(download_.ElapsedTenths)));
        panel_.setProgressValue(i + 1);
        if (stopRequested())
            return link_.state().AbortRequested ? Outcome::Cancelled : Outcome::Failed;
        frame = BuildDataFrame(kind, image.bytes, static_cast<std::size_t>(i) + 1,
                               download_.FrameDataSize);
        lastFrameSum = FrameSumOf(frame);
        if (!sendFrame(frame, Command::Data, step::kDataFrame, kDataWaitMs))
            return Outcome::Failed;
        link_.setExpectedFrameNo(static_cast<short>(link_.state().ExpectedFrameNo + 1));
        summary_.framesAccepted = i + 1;
        emit progress(i + 1, frameCount);
    }

    // The closing frames are not interrupted by a cancel.
    panel_.setStatusLabel(texts::completing(faces_));
    frame = BuildClosingFrame(kind, Command::End, lastFrameSum);
    if (!sendFrame(frame, Command::End, step::kEndFrame, kEndWaitMs))
        return Outcome::Failed;
    frame = BuildClosingFrame(kind, Command::Final, lastFrameSum);
    if (!sendFrame(frame, Command::Final, step::kFinalFrame, kFinalWaitMs))
        return Outcome::Failed;

    const QString seconds = ElapsedSeconds(download_.ElapsedTenths);
    panel_.setStatusLabel(texts::completedAfter(faces_, seconds));
    NowStatus(texts::downloadComplete(faces_));
    constexpr int kMax = std::numeric_limits<int>::max();
    download_.DownloadTotal = download_.DownloadTotal < kMax ? download_.DownloadTotal + 1 : kMax;
    download_.DownloadNum = download_.DownloadNum < kMax ? download_.DownloadNum + 1 : kMax;
    panel_.setDownloadCount(download_.DownloadNum);
    settings_.WriteIniString(QStringLiteral("MSG"), QStringLiteral("total"),
                             QString::number(download_.DownloadTotal));
    return Outcome::Completed;
}

QString DownloadDriver::refusalOf(const LoadedImage& image) const {
    return texts::imageRefusal(faces_, image, download_.DownloadFilePath,
                               link_.state().FontDownload, download_.FrameDataSize);
}

bool DownloadDriver::sendFrame(Bytes& frame, Command command, short step, int waitMs) {
    if (sender_.BootTFTPSendData(frame, static_cast<std::uint8_t>(command), step, waitMs))
        return true;
    if (!waits_.isShuttingDown()) // a quitting program shows no box
        ShowTipsBox(panel_, panel_.statusLabel(), 1);
    return false;
}

void DownloadDriver::finish(Outcome outcome) {
    DelayMs(waits_, kCloseDelayMs);
    if (portModel_.portKind() == PortKindValue::Com)
        portModel_.cmdCloseSerialUSB_Click();
    else
        link_.closeNetworkLink();
    timer1_.stop();
    panel_.setProgressValue(0);
    panel_.setDownloadEnabled(true);
    panel_.setAppToBootEnabled(true);
    panel_.setCancelEnabled(false);
    link_.endDownload();
    running_ = false;
    lastOutcome_ = outcome;
    summary_.outcome = outcome;
    summary_.milliseconds = clock_.elapsed();
    if (outcome == Outcome::Cancelled)
        summary_.reason = texts::cancelledPanel();
    else if (outcome != Outcome::Completed)
        summary_.reason = panel_.statusLabel();
    emit downloadFinished(outcome);
}

void DownloadDriver::cmdCancel_Click() {
    if (!running_)
        return;
    link_.requestAbort();
    panel_.setStatusLabel(texts::cancelledLabel());
    NowStatus(texts::cancelledPanel());
}

void DownloadDriver::Timer1_Timer() {
    ++download_.ElapsedTenths;
    if (link_.state().BootloadrStep == step::kLink)
        panel_.setStatusLabel(texts::linkWaiting(ElapsedSeconds(download_.ElapsedTenths)));
}

void DownloadDriver::NowStatus(const QString& status) {
    panel_.setStatusPanel(QStringLiteral(" ") + status);
}

void DownloadDriver::imgBootStatusSelect(int item) {
    panel_.setBootStatusImage(item == 1 ? 1 : 0);
}

} // namespace posflash
