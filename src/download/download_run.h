#pragma once

#include "base/bytes.h"
#include "download/download_event.h"
#include "download/download_job.h"
#include "download/download_result.h"
#include "download/reply_deadline.h"
#include "link/transport_hold.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <optional>

namespace posflash {

class BootCommand;
class Faces;
class FrameTransport;
class NetworkBoot;
class PrinterUsb;
class SerialAimer;
class TcpMonitor;

// One download as a state machine: link → start frame → data frame i → closing frames →
// final frame → a short pause → ports closed. Each wait is a state left by the event that
// decides it: a reply, a timer, the connection, a cancel. Nothing nests, so any number of
// downloads share one event loop.
class DownloadRun : public QObject {
    Q_OBJECT
public:
    static constexpr int kCloseDelayMs = 200;

    // Where a download stands, in order; each is entered once at most.
    enum class State {
        Ready,
        Linking, // waiting for the boot loader
        Sending, // the start and data frames
        Closing, // the end and final frames: a stop now would cut them
        Ended,   // the result is known; the ports close after a short pause
        Done,
    };

    // What the run uses, owned by its engine. The serial transport's replies and line errors
    // reach the run straight from it, as the other media's replies do.
    struct Parts {
        FrameTransport& serial;
        NetworkBoot& network;
        TcpMonitor& monitor;
        BootCommand& bootCommand;
        // Points the serial line at the COM route's target; a refusal refuses the job.
        SerialAimer& serialAimer;
        // Whether a printer's virtual COM device is present.
        const PrinterUsb& usb;
        const Faces& faces;
    };

    // bootFilePath: the name the BOOTP answer carries; empty: the image's own.
    DownloadRun(DownloadJob job, QString bootFilePath, Parts parts, DownloadObserver& observer,
                QObject* parent = nullptr);
    ~DownloadRun() override;

    // Runs the job from now; startedAt gives the start frame's date and time. A job refused
    // before it starts has ended when this returns.
    void start(const QDateTime& startedAt, std::uint64_t pcCodeSeed);
    // Refused before it starts (the engine is busy): ended when this returns.
    void refuse(const QDateTime& startedAt, Cause cause);
    // The user's cancel: the link wait ends at once; a frame in flight finishes its resends
    // and no data frame follows; the closing frames are not interrupted.
    void cancel();
    // Ends at once, closing frames included; nothing waits for the printer.
    void stop();
    // The route later attempts are sent on (the window's port choice may change meanwhile);
    // replies are still read where the job's route reads them.
    void setRoute(Route route);

    State state() const { return state_; }
    const DownloadResult& result() const { return result_; }

signals:
    void stateChanged(posflash::DownloadRun::State state);
    // Just before the observer hears Finished: the engine may take the next job.
    void done();

private:
    // The serial line failed while open (device gone): shown, and the cause if the frame fails.
    void serialLineFailed(const Error& error);
    void setState(State state);
    bool sendingFrames() const { return state_ == State::Sending || state_ == State::Closing; }
    void linkToBootLoader();
    void startNetworkLink();
    void startNetworkBoot();
    void startFirmwareLink();
    void askFirmware();
    void bootCommandFinished();
    void judgeReply(ByteView reply);
    void linkUp();
    void loadImage();
    void sendStartFrame();
    void sendFrameAndWait(std::uint8_t command, short step, int waitMs);
    void attempt();
    void sendAttempt();
    void attemptOver();
    void frameAccepted();
    void nextDataFrame(int index);
    void frameFailed();
    Cause retryCause() const;
    template <typename Then>
    void setStep(short step, Then then);
    // Tells the observer, then goes on with then() unless the observer stopped or ended the
    // run meanwhile: observers are called synchronously and may do either.
    template <typename Then>
    void notify(DownloadEvent event, Then then);
    void notify(DownloadEvent event);
    DownloadEvent event(DownloadEvent::Kind kind) const;
    void endTransfer(Outcome outcome, Cause cause, Error error = {});
    void closePorts();
    void finish();
    FrameTransport& transportFor(Route route);

    DownloadJob job_;
    QString bootFilePath_;
    Parts parts_;
    DownloadObserver& observer_;
    DownloadResult result_;
    State state_ = State::Ready;
    Route liveRoute_;
    Stage stage_ = Stage::Start;

    SharedImage image_; // shared with the job's other printers: one copy of the bytes
    Bytes frame_;
    QDateTime startedAt_;
    std::uint64_t pcCodeSeed_ = 0;
    int frameDataSize_ = 0;
    int frameCount_ = 0;
    int dataIndex_ = -1; // the data frame in flight, from 0; -1 outside the data frames
    std::uint16_t lastFrameSum_ = 0;

    short step_ = 0;
    bool stepTold_ = false; // the observer has heard of a step of this run
    short expectedFrameNo_ = 0;
    int waitMs_ = 0;
    int attempt_ = 0;
    bool awaitingReply_ = false;
    std::optional<int> refusalStatus_; // the last attempt's refusal, if it was refused
    bool wrongFrameSeen_ = false;      // an acceptance of another frame in this attempt
    bool wrongFrameInFrame_ = false;   // ... in any attempt of this frame
    std::optional<Error> sendFault_;   // the last attempt's hand-over error
    bool lineLost_ = false;            // the serial line failed during this frame
    bool handedOver_ = false;          // a frame of this download reached the medium
    bool cancelRequested_ = false;

    // The serial line from this run's first send on it until the run closes its ports or goes.
    TransportHold serialHold_;
    ReplyDeadline replyDeadline_;
    QTimer linkTimer_;
    QTimer pauseTimer_;
    QElapsedTimer clock_;
};

} // namespace posflash
