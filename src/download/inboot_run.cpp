#include "download/inboot_run.h"

#include "download/error_causes.h"
#include "link/boot_command.h"

namespace posflash {

InbootRun::InbootRun(InbootJob job, BootCommand& command, DownloadObserver& observer,
                     QObject* parent)
    : QObject(parent), job_(std::move(job)), command_(command), observer_(observer) {
    result_.stage = Stage::Link;
    result_.printer = job_.printer;
}

InbootRun::~InbootRun() = default;

DownloadEvent InbootRun::event(DownloadEvent::Kind kind) const {
    DownloadEvent e;
    e.kind = kind;
    e.address = job_.printer.ip;
    e.printerAddress = job_.printer.ip;
    return e;
}

void InbootRun::start(const QDateTime& startedAt) {
    result_.startedAt = startedAt;
    clock_.start();
    connect(&command_, &BootCommand::usbWritten, this, &InbootRun::written);
    connect(&command_, &BootCommand::finished, this, &InbootRun::finished,
            Qt::SingleShotConnection);
    observer_.onEvent(event(DownloadEvent::Kind::Started));
    command_.start({job_.printer, job_.route != Route::Com, false});
}

void InbootRun::refuse(const QDateTime& startedAt) {
    result_.startedAt = startedAt;
    result_.stage = Stage::Start;
    result_.outcome = Outcome::Refused;
    result_.cause = Cause::Busy;
    tellEnd();
}

void InbootRun::stop() {
    command_.abort();
}

void InbootRun::written(bool ok) {
    DownloadEvent e = event(DownloadEvent::Kind::FrameSent);
    e.attempt = 1;
    if (!ok)
        e.sendError = Error{inboot_error::kWriteFailed, {}, {}, ErrorDomain::Inboot};
    observer_.onEvent(e);
}

void InbootRun::finished(const Status& sent) {
    disconnect(&command_, nullptr, this, nullptr);
    result_.elapsedMs = clock_.elapsed();
    if (sent) {
        result_.outcome = Outcome::Completed;
    } else {
        result_.error = sent.error();
        result_.cause = CauseOfError(sent.error());
        result_.outcome = result_.cause == Cause::Cancelled ? Outcome::Cancelled : Outcome::Failed;
    }
    tellEnd();
}

void InbootRun::tellEnd() {
    DownloadEvent e = event(DownloadEvent::Kind::TransferEnded);
    e.result = &result_;
    observer_.onEvent(e);
    // The engine lets go of the run before Finished: whoever hears it may send the next command.
    emit done();
    e.kind = DownloadEvent::Kind::Finished;
    observer_.onEvent(e);
}

} // namespace posflash
