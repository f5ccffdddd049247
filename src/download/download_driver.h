#pragma once

#include "download/download_state.h"
#include "protocol/frames.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>

namespace posflash {

class BootLink;
class Faces;
class FrameSender;
class IniStore;
class Panel;
class PortModel;
class WaitHub;
struct LoadedImage;

// Runs one download from the press of a download button to the closing of the port.
class DownloadDriver : public QObject {
    Q_OBJECT
public:
    // Refused: the link came up but the image was not fit to send (unreadable, empty, too
    // large, or a program whose trailer sum is wrong).
    enum class Outcome { None, Completed, Failed, Cancelled, NotStarted, Refused };

    // What one download did: for its record in the history and for those who watch it.
    struct Summary {
        QDateTime startedAt;
        qint64 milliseconds = 0;
        QString filePath;
        qint64 fileSize = -1; // unknown until the image is read
        bool font = false;
        int crc16 = -1; // the start frame's CRC-16 of the image, once built
        int frames = 0; // data frames of the image
        int framesAccepted = 0;
        int retries = 0;
        Outcome outcome = Outcome::None;
        QString reason; // the status text a failure, refusal or cancel left
    };

    static constexpr int kTimer1IntervalMs = 100;
    static constexpr int kStartWaitMs = 3000;
    static constexpr int kDataWaitMs = 350;
    static constexpr int kEndWaitMs = 6000;
    static constexpr int kFinalWaitMs = 500;
    static constexpr int kCloseDelayMs = 200;

    DownloadDriver(Panel& panel, const Faces& faces, WaitHub& waits, IniStore& settings,
                   PortModel& portModel, FrameSender& sender, BootLink& link,
                   QObject* parent = nullptr);

    void btnDownloadFile_Click();
    void btnDownloadFontFile_Click();
    void btnDownloadFile_function();
    void cmdCancel_Click();
    void Timer1_Timer();
    void NowStatus(const QString& status);
    void imgBootStatusSelect(int item);

    // Starts the elapsed time of a link step from zero.
    void startTimer1();
    const DownloadState& state() const { return download_; }
    // The stored count of completed downloads, read at start-up.
    void setDownloadTotal(int total);
    // The Clear button: the count since start-up starts again.
    void clearDownloadNum();
    bool isRunning() const { return running_; }
    Outcome lastOutcome() const { return lastOutcome_; }
    const Summary& lastSummary() const { return summary_; }

    // The clock of the start frame's date and time, and the seed of its random block.
    std::function<QDateTime()> now = [] { return QDateTime::currentDateTime(); };
    std::function<std::uint64_t()> pcCodeSeed;

signals:
    // The link is up; the image is judged and sent next.
    void linked();
    // accepted of total data frames are accepted.
    void progress(int accepted, int total);
    // A frame is sent again (attempt 2 or 3) after no acceptance or a refusal.
    void retrying(short step, int attempt);
    void downloadFinished(posflash::DownloadDriver::Outcome outcome);

private:
    void start(bool font);
    Outcome transfer(const QString& date, const QString& time);
    void finish(Outcome outcome);
    QString refusalOf(const LoadedImage& image) const;
    // One frame through the sender; a frame never accepted shows its failure in a box.
    bool sendFrame(Bytes& frame, Command command, short step, int waitMs);
    bool stopRequested() const;

    DownloadState download_;
    Panel& panel_;
    const Faces& faces_;
    WaitHub& waits_;
    IniStore& settings_;
    PortModel& portModel_;
    FrameSender& sender_;
    BootLink& link_;
    QTimer timer1_;
    Summary summary_;
    QElapsedTimer clock_;
    bool running_ = false;
    Outcome lastOutcome_ = Outcome::None;
};

} // namespace posflash
