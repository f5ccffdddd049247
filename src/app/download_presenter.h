#pragma once

#include "app/panel.h"
#include "download/download_event.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace posflash {

class Faces;
class IniStore;

// The window's reading of a download: turns the engine's events into the window's texts,
// progress bar, counters, buttons and the elapsed-time timer (Timer1), and stores the count of
// completed downloads.
class DownloadPresenter : public QObject, public DownloadObserver {
    Q_OBJECT
public:
    static constexpr int kTimer1IntervalMs = 100;

    DownloadPresenter(Panel& panel, const Faces& faces, IniStore& settings,
                      QObject* parent = nullptr);

    // The stored count of completed downloads, read at start-up.
    void setDownloadTotal(int total) { downloadTotal_ = total; }
    // The Clear button: the count since start-up starts again.
    void clearDownloadNum() { downloadNum_ = 0; }
    int downloadTotal() const { return downloadTotal_; }
    int downloadNum() const { return downloadNum_; }
    int elapsedTenths() const { return elapsedTenths_; }
    // The last download that ended, if any.
    const std::optional<DownloadResult>& lastResult() const { return lastResult_; }
    // The cancel button's texts (the engine is told by the window).
    void showCancelled();
    // ShowStatus(0): one space, then the text.
    void NowStatus(const QString& status);

    // Told when a download has ended and everything is closed (the history records it).
    std::function<void(const DownloadResult&)> onFinished;
    // Told how storing the count of completed downloads went.
    std::function<void(const Status&)> onSettingsWrite;

    void onEvent(const DownloadEvent& e) override;

private:
    void started();
    void linked();
    void framesKnown(int total);
    void frameSent(const DownloadEvent& e);
    // Data frame frame (from 1) of frames is next: its text, and the bar moves to it.
    void dataFrameDue(int frame, int frames);
    void transferEnded(const DownloadResult& result);
    void finished(const DownloadResult& result);
    void tenthElapsed();
    void startTimer1();
    QString seconds() const;
    // The box appears once the engine's call has returned (a modal box runs events); then
    // runs after it is dismissed.
    void tipsThen(const QString& prompt, std::function<void()> then = {});

    Panel& panel_;
    const Faces& faces_;
    IniStore& settings_;
    QTimer timer1_;
    int elapsedTenths_ = 0;
    short step_ = 0;
    int downloadTotal_ = 0;
    int downloadNum_ = 0;
    std::optional<DownloadResult> lastResult_;
};

} // namespace posflash
