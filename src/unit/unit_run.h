#pragma once

#include "download/download_event.h"
#include "download/download_job.h"
#include "download/download_result.h"
#include "history/history_store.h"

#include <QString>

#include <memory>

namespace posflash {

class DownloadHistory;
class Engine;

// Who updates a unit, where, and the label scanned for it; every attempt's record carries them.
struct UnitContext {
    QString operatorName;
    QString station;      // the front end fills in the host name when the user gives none
    QString label;        // empty when no label was scanned or given
    QString shift{};      // the production window's shift id; empty elsewhere
    RecipeStamp recipe{}; // the line recipe the unit runs under; empty without one
};

// Whether a failure of this cause may pass at a second try: the printer was silent, refused a
// frame, answered for another frame, or went away (retried only when it is back within the
// job's link timeout). Never a refused image (bad trailer, too large, empty, not readable), a
// cancel or a stop; nor what a second try at once meets again: a link timeout (the printer
// already had the whole limit), a busy or missing port, a permission, an address or a port
// 67/69 that cannot be bound, the firmware's TCP port not answering.
bool IsRetryable(Cause cause);

// One unit's update on one engine: a download, tried again up to retries more times while it
// fails for a retryable cause. Its observer hears UnitStarted, every event of each attempt
// (Finished once per attempt), with the unit's id and the attempt's number added, RetryUnit
// after an attempt that failed and is tried again (at once, or, after a disconnect, once the
// printer is back within the job's link timeout), and UnitFinished last. Every attempt is a row of
// the history (when given), with the unit's UUID, its attempt number (from 1) and the context. A
// cancel or stop never lets another attempt begin; during the wait for a printer that went away it
// ends the unit at once, with the failed attempt as its last. Lives on the engine's thread; the
// observer may start the next unit from UnitFinished. Going away, it stops an attempt still running
// (recorded, its observer not told); the engine must outlive it.
class UnitRun {
public:
    UnitRun(Engine& engine, DownloadHistory* history, DownloadObserver& observer);
    ~UnitRun();
    UnitRun(const UnitRun&) = delete;
    UnitRun& operator=(const UnitRun&) = delete;

    // Starts a new unit (a new UUID); ignored while one runs. bootFilePath as for
    // Engine::download. A job refused at once ends the unit before this returns.
    void start(const DownloadJob& job, const UnitContext& context, int retries,
               const QString& bootFilePath = {});
    // A unit refused before any printer was touched (a line recipe's check): it ends at once,
    // before this returns, as a job the engine refuses does, its one attempt recorded.
    void refuse(const DownloadResult& refusal, const UnitContext& context);
    // The last unit again, as the operator retries it in place: its UUID kept, its attempts
    // numbered on from the last one, retries more after this one. Starts a new unit when
    // there was none.
    void resume(const DownloadJob& job, const UnitContext& context, int retries);
    // As Engine::cancel() and stop(), and no further attempt.
    void cancel();
    void stop();
    bool isRunning() const;

    // The running or last unit's UUID, and its attempt in progress or last (from 1).
    QString unitId() const;
    int attempt() const;

private:
    class Attempts;
    std::unique_ptr<Attempts> attempts_;
};

} // namespace posflash
