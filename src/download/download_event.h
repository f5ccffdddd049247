#pragma once

#include "base/error.h"
#include "download/download_result.h"

#include <QString>

#include <functional>
#include <optional>

namespace posflash {

// Something that happened to a download, to the unit it is an attempt of, or to a printer of a
// run: one value for the engine, the unit, the fleet and every view. The engine fills in the
// download's fields; the unit adds its id and attempt, the run the printer's index and clock.
struct DownloadEvent {
    enum class Kind {
        UnitStarted,        // a unit begins; its first attempt follows
        Started,            // the job was accepted and the link begins
        Linking,            // the boot loader is awaited (network and firmware routes)
        Step,               // the step whose answer is awaited changed
        EnteringBootLoader, // the running firmware is asked to switch (a font through it)
        OtherSender,        // a boot loader answered from address, not from printerAddress
        NoGreeting,         // the BOOTP answer to address brought no greeting from printerAddress
        Linked,
        FramesKnown,   // the start frame was accepted: frames data frames follow
        FrameSent,     // an attempt of a frame was handed over, or could not be (sendError)
        Retrying,      // the frame goes out again: attempt, cause, status
        Closing,       // every data frame is accepted; the closing frames are next
        LineError,     // the serial line failed while open (lineError); the port is closed
        TransferEnded, // the transfer is over (result); the ports close after a short pause
        Finished,      // everything is closed (result); the engine takes the next job
        RetryUnit,     // the unit's attempt failed (result); nextAttempt begins
        UnitFinished,  // no attempt follows (result: the last); the unit took unitAttempt
    };

    Kind kind = Kind::Started;
    short step = 0;
    int frame = 0;    // the data frame (from 1); 0 for the start and closing frames
    int attempt = 0;  // FrameSent: this attempt (from 1); Retrying: the one about to be made
    int accepted = 0; // data frames accepted so far
    int frames = 0;   // data frames in all, once known
    Cause cause = Cause::None;      // Retrying: printer-silent, printer-refused, wrong-frame-number
    int status = 0;                 // Retrying: the refusal's status byte (5 or 6), else 0
    bool serial = false;            // FrameSent: the frame went to the serial line
    std::optional<Error> sendError; // FrameSent: why the frame could not be handed over
    Error lineError;                // LineError
    QString address;
    QString printerAddress;
    const DownloadResult* result = nullptr; // valid during the call

    // Added by the unit: its id, the attempt this event belongs to (from 1), and for
    // RetryUnit the attempt about to begin.
    QString unit;
    int unitAttempt = 0;
    int nextAttempt = 0;
    // Added by a run of several printers: the printer's index and ms since the run began.
    int target = 0;
    qint64 ms = 0;

    // Whether the count of accepted data frames moved: the start frame's acceptance, each data
    // frame's first attempt after the first, and the last one's acceptance.
    bool movesProgress() const {
        return kind == Kind::FramesKnown || kind == Kind::Closing ||
               (kind == Kind::FrameSent && attempt == 1 && frame > 1);
    }
};

// Whoever watches a download (or a unit, or a run) hears every event through this one call, in
// order, on the engine's thread, after the engine's own state is updated: it may call back into
// the engine (cancel, stop) from any of them.
class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;
    virtual void onEvent(const DownloadEvent& event) = 0;
};

// An observer that hands each event to a function: for a front end that watches a job from
// an object that is no observer itself.
class EventFunction : public DownloadObserver {
public:
    explicit EventFunction(std::function<void(const DownloadEvent&)> told)
        : told_(std::move(told)) {}
    void onEvent(const DownloadEvent& event) override { told_(event); }

private:
    std::function<void(const DownloadEvent&)> told_;
};

} // namespace posflash
