#pragma once

#include "download/download_event.h"
#include "download/download_job.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>

namespace posflash {

class BootCommand;

// The boot-loader command to one printer, as a value: the printer, and the way there. On the
// COM route the command goes to the printer's USB device; on the others to the running
// firmware's TCP port at the target's address.
struct InbootJob {
    Printer printer;
    Route route = Route::Com;
};

// One boot-loader command, told in a download's words: Started, FrameSent once the command is
// written to a USB device (or could not be), then TransferEnded and Finished with the result:
// completed when the printer was handed the command, else failed (or cancelled by a stop) with
// its cause.
class InbootRun : public QObject {
    Q_OBJECT
public:
    InbootRun(InbootJob job, BootCommand& command, DownloadObserver& observer,
              QObject* parent = nullptr);
    ~InbootRun() override;

    void start(const QDateTime& startedAt);
    // Refused, since a download or another command runs: Finished (busy) at once.
    void refuse(const QDateTime& startedAt);
    // Ends at once (the program quits): cancelled, unless the printer already has the command.
    void stop();

signals:
    // Over; the observer hears Finished right after.
    void done();

private:
    void written(bool ok);
    void finished(const Status& sent);
    void tellEnd();
    DownloadEvent event(DownloadEvent::Kind kind) const;

    InbootJob job_;
    BootCommand& command_;
    DownloadObserver& observer_;
    DownloadResult result_;
    QElapsedTimer clock_;
};

} // namespace posflash
