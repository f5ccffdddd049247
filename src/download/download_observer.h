#pragma once

#include "base/error.h"
#include "download/download_result.h"

#include <QString>

namespace posflash {

// A retry: the frame goes out again (attempt 2 or 3), and why.
struct RetryEvent {
    short step = 0;
    int frame = 0;   // the data frame (from 1), 0 for the start and closing frames
    int attempt = 0; // the attempt about to be made
    Cause cause = Cause::PrinterSilent; // printer-silent, printer-refused, wrong-frame-number
    int status = 0;                     // the refusal's status byte (5 or 6), else 0
};

// What a download tells whoever watches it, in order. Every call comes from the engine's
// thread, after the engine's own state is updated, so an observer may call back into the
// engine (cancel) from any of them.
class DownloadObserver {
public:
    virtual ~DownloadObserver() = default;

    // The job was accepted and the link begins.
    virtual void started() {}
    // The boot loader is awaited (network and firmware routes; none on a COM port).
    virtual void linking() {}
    // The step whose answer is awaited changed.
    virtual void stepChanged(short step) { (void)step; }
    // The running firmware is being asked to switch (a font through the firmware).
    virtual void enteringBootLoader() {}
    // A boot loader answered from another address than the printer's (once per link).
    virtual void linkFromOtherAddress(const QString& sender, const QString& printer) {
        (void)sender;
        (void)printer;
    }
    // The BOOTP request answered last (from requester) brought no greeting from the printer
    // in time; the next request with its MAC is answered too.
    virtual void answeredWithoutGreeting(const QString& requester, const QString& printer) {
        (void)requester;
        (void)printer;
    }
    virtual void linked() {}
    // The start frame was accepted: total data frames follow.
    virtual void framesKnown(int total) { (void)total; }
    // Data frame index (from 0) of total is next; a cancel stops the download here.
    virtual void dataFrame(int index, int total) {
        (void)index;
        (void)total;
    }
    virtual void retrying(const RetryEvent& retry) { (void)retry; }
    // accepted of total data frames are accepted.
    virtual void progress(int accepted, int total) {
        (void)accepted;
        (void)total;
    }
    // The end and final frames are next; they are not interrupted by a cancel.
    virtual void closing() {}
    // A frame was handed to the serial line, or could not be (its error).
    virtual void serialSent(const Status& status) { (void)status; }
    // The serial line failed while open (device gone, read error); the port is closed.
    virtual void serialLineError(const Error& error) { (void)error; }
    // The transfer is over; the port closes after a short pause.
    virtual void transferEnded(const DownloadResult& result) { (void)result; }
    // Everything is closed; the engine takes the next job.
    virtual void finished(const DownloadResult& result) { (void)result; }
};

} // namespace posflash
