#include "app/download_presenter.h"

#include "base/faces.h"
#include "base/ini_store.h"
#include "download/download_texts.h"
#include "link/link_texts.h"
#include "protocol/reply_checker.h"

#include <limits>

namespace posflash {

DownloadPresenter::DownloadPresenter(Panel& panel, const Faces& faces, IniStore& settings,
                                     QObject* parent)
    : QObject(parent), panel_(panel), faces_(faces), settings_(settings) {
    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer1_.setInterval(kTimer1IntervalMs);
    connect(&timer1_, &QTimer::timeout, this, &DownloadPresenter::tenthElapsed);
}

QString DownloadPresenter::seconds() const {
    return ElapsedSeconds(elapsedTenths_);
}

void DownloadPresenter::NowStatus(const QString& status) {
    panel_.setStatusPanel(QStringLiteral(" ") + status);
}

void DownloadPresenter::tipsThen(const QString& prompt, std::function<void()> then) {
    QMetaObject::invokeMethod(
        this,
        [this, prompt, then = std::move(then)] {
            panel_.showTipsBox(prompt, 1);
            if (then)
                then();
        },
        Qt::QueuedConnection);
}

void DownloadPresenter::startTimer1() {
    elapsedTenths_ = 0;
    timer1_.start();
}

void DownloadPresenter::tenthElapsed() {
    ++elapsedTenths_;
    if (step_ == step::kLink)
        panel_.setStatusLabel(texts::linkWaiting(seconds()));
}

void DownloadPresenter::showCancelled() {
    panel_.setStatusLabel(texts::statusAfterCancel());
    NowStatus(texts::cancelledPanel());
}

void DownloadPresenter::onEvent(const DownloadEvent& e) {
    using Kind = DownloadEvent::Kind;
    switch (e.kind) {
    case Kind::Started:
        started();
        return;
    case Kind::Linking:
        startTimer1();
        return;
    case Kind::Step:
        step_ = e.step;
        return;
    case Kind::EnteringBootLoader:
        NowStatus(link_texts::enterDownloadStatus());
        return;
    case Kind::OtherSender:
        NowStatus(link_texts::linkFromOtherAddress(faces_, e.address, e.printerAddress));
        return;
    case Kind::NoGreeting:
        NowStatus(link_texts::answeredWithoutGreeting(faces_, e.address, e.printerAddress));
        return;
    case Kind::Linked:
        linked();
        return;
    case Kind::FramesKnown:
        framesKnown(e.frames);
        return;
    case Kind::FrameSent:
        frameSent(e);
        return;
    case Kind::Closing:
        panel_.setStatusLabel(texts::completing(faces_));
        return;
    case Kind::LineError:
        NowStatus(e.lineError.text);
        return;
    case Kind::TransferEnded:
        transferEnded(*e.result);
        return;
    case Kind::Finished:
        finished(*e.result);
        return;
    default:
        return;
    }
}

void DownloadPresenter::started() {
    NowStatus(texts::downloadBegins(faces_));
    panel_.setDownloadEnabled(false);
    panel_.setAppToBootEnabled(false);
    panel_.setCancelEnabled(true);
    panel_.setStatusLabel(texts::establishingConnection(faces_));
}

void DownloadPresenter::linked() {
    // The count now measures the download itself.
    startTimer1();
    panel_.setStatusLabel(texts::readyForDownload(faces_));
}

void DownloadPresenter::framesKnown(int total) {
    panel_.setProgressMax(total);
    panel_.setProgressValue(0);
}

void DownloadPresenter::frameSent(const DownloadEvent& e) {
    // The error stays in the status panel: blanking it would hide why nothing reached the
    // printer. First: a cancel pressed as the progress moves says so in the panel.
    if (e.serial)
        NowStatus(e.sendError ? e.sendError->text : QString());
    if (e.step == step::kDataFrame && e.attempt == 1)
        dataFrameDue(e.frame, e.frames);
}

void DownloadPresenter::dataFrameDue(int frame, int frames) {
    panel_.setStatusLabel(texts::downloadingFrame(faces_, frame - 1, frames, seconds()));
    panel_.setProgressValue(frame);
}

void DownloadPresenter::transferEnded(const DownloadResult& result) {
    switch (result.stage) {
    case Stage::Start:
        if (result.cause == Cause::FileNotOpen)
            tipsThen(result.error.text);
        return;
    case Stage::Link:
        timer1_.stop();
        if (result.error.text.isEmpty())
            panel_.setStatusLabel(texts::linkFailed(faces_));
        else
            tipsThen(result.error.text,
                     [this] { panel_.setStatusLabel(texts::linkFailed(faces_)); });
        return;
    case Stage::Image:
        // The elapsed timer would go on rewriting the status line under the refusal.
        timer1_.stop();
        panel_.setStatusLabel(result.error.text);
        NowStatus(texts::downloadFailed(faces_));
        tipsThen(result.error.text);
        return;
    case Stage::Frames:
        break;
    }
    if (result.outcome == Outcome::Cancelled) {
        // A cancel ends the frames only just before data frame result.frame, which is never
        // handed over: its text and progress step come here, as they would before its sending.
        if (result.frame > 0)
            dataFrameDue(result.frame, result.frames);
        return;
    }
    if (result.outcome == Outcome::Failed) {
        panel_.setStatusLabel(texts::downloadFailed(faces_));
        if (result.cause != Cause::Stopped) // a quitting program shows no box
            tipsThen(texts::downloadFailed(faces_));
        return;
    }
    if (result.outcome != Outcome::Completed)
        return;
    panel_.setStatusLabel(texts::completedAfter(faces_, seconds()));
    NowStatus(texts::downloadComplete(faces_));
    constexpr int kMax = std::numeric_limits<int>::max();
    downloadTotal_ = downloadTotal_ < kMax ? downloadTotal_ + 1 : kMax;
    downloadNum_ = downloadNum_ < kMax ? downloadNum_ + 1 : kMax;
    panel_.setDownloadCount(downloadNum_);
    const Status written = settings_.WriteIniString(QStringLiteral("MSG"), QStringLiteral("total"),
                                                    QString::number(downloadTotal_));
    if (onSettingsWrite)
        onSettingsWrite(written);
}

void DownloadPresenter::finished(const DownloadResult& result) {
    if (result.stage != Stage::Start) {
        timer1_.stop();
        panel_.setProgressValue(0);
        panel_.setDownloadEnabled(true);
        panel_.setAppToBootEnabled(true);
        panel_.setCancelEnabled(false);
    }
    lastResult_ = result;
    if (onFinished)
        onFinished(result);
}

} // namespace posflash
