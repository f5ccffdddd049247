#include "line/line_slot.h"

#include "download/download_run.h"
#include "fleet/fleet_boot_ports.h"
#include "line/slot_tile.h"
#include "ports/com_port_map.h"
#include "unit/download_history.h"
#include "unit/recipe_gate.h"

#include <QFileInfo>

namespace posflash {

LineSlot::LineSlot(int number, SlotChoice choice, const ShiftChoices& shift, ComPortMap& comPorts,
                   const UsbInventory& inventory, DownloadHistory* history, SlotTile& tile,
                   const FleetBootPorts& bootPorts)
    : number_(number), choice_(std::move(choice)), shift_(shift), tile_(tile), comPorts_(comPorts),
      engine_(comPorts, inventory), run_(engine_, history, *this) {
    faces_.setUseEnglish(!shift.chinese);
    engine_.faces().setUseEnglish(true);
    if (choice_.kind == SlotKind::Network)
        bootPorts.share(engine_);
    showWaitingHint();
}

LineSlot::~LineSlot() {
    run_.stop();
}

void LineSlot::showWaitingHint() {
    tile_.showUnit({});
    switch (choice_.kind) {
    case SlotKind::Usb:
        tile_.showWaiting(tr("Plug in the next printer."));
        break;
    case SlotKind::Com:
        tile_.showWaiting(tr("Connect the next printer, then press Next or scan its label."));
        break;
    case SlotKind::Network:
        tile_.showWaiting(tr("Scan the next printer's MAC label or type its MAC."));
        break;
    }
}

QString LineSlot::node() const {
    if (choice_.printer.comNumber > 0)
        return comPorts_.devicePath(choice_.printer.comNumber);
    return choice_.printer.node;
}

bool LineSlot::outsideRecipe() const {
    // A network slot's units are told apart by their MACs: each is checked as it starts.
    if (!shift_.recipe || choice_.kind == SlotKind::Network)
        return false;
    Printer target = choice_.printer;
    if (target.node.isEmpty())
        target.node = node();
    return !shift_.recipe->checkTarget(target, comPorts_).ok();
}

QString LineSlot::checkSetUp() {
    if (outsideRecipe()) {
        const QString why = tr("The recipe does not name this port: no unit is loaded here.");
        tile_.showNotInUse(why);
        emit setUpNeeded(number_);
        return why;
    }
    QString problem = shift_.startProblem;
    if (problem.isEmpty() && !choice_.problem.isEmpty())
        problem = tr("This slot names no printer: %1. Ask the line's technician to set up the "
                     "slot.")
                      .arg(choice_.problem);
    if (problem.isEmpty() && choice_.kind == SlotKind::Com) {
        // The command line's answer for the same port, with its cause; a COM number's device
        // must be there too, since a slot waits for no printer to appear. No unit starts, so
        // nothing is recorded, as the command line records nothing for it.
        std::optional<PortRefusal> refused = RefusedPort(choice_.printer, comPorts_);
        if (!refused && !QFileInfo::exists(node()))
            refused = PortRefusal{Cause::PortMissing, choice_.place};
        if (refused && refused->cause == Cause::PortMissing)
            problem = tr("This PC has no port %1 (port-missing). Ask the line's technician to "
                         "connect the printer's cable or set up the slot, then press Next.")
                          .arg(choice_.place);
        else if (refused)
            problem = tr("%1 is not a serial line (port-not-serial). Ask the line's technician "
                         "to set up the slot.")
                          .arg(refused->shown);
    }
    if (!problem.isEmpty()) {
        tile_.showSetUp(problem);
        emit setUpNeeded(number_);
    }
    return problem;
}

void LineSlot::unitAppeared(const QString& label, const Printer& arrived) {
    if (run_.isRunning())
        return;
    Unit unit{label, choice_.printer};
    if (choice_.kind == SlotKind::Usb) {
        unit.printer.node = arrived.node;
        unit.printer.usbSerial = arrived.usbSerial;
    }
    if (choice_.kind == SlotKind::Network)
        unit.printer.mac = arrived.mac;
    tile_.showUnit(label);
    if (label.isEmpty() && shift_.requireLabel) {
        waiting_ = unit;
        tile_.showNeedsLabel();
        emit labelWanted(number_);
        return;
    }
    start(unit);
}

void LineSlot::giveLabel(const QString& label) {
    if (!waiting_)
        return;
    Unit unit = *waiting_;
    waiting_.reset();
    unit.label = label;
    start(unit);
}

void LineSlot::retryUnit() {
    if (last_ && !run_.isRunning())
        start(*last_, true);
}

void LineSlot::cancel() {
    waiting_.reset();
    if (run_.isRunning()) {
        tile_.showStopping();
        run_.cancel();
    }
}

void LineSlot::start(const Unit& unit, bool sameUnit) {
    // No unit starts while the shift's recipe refuses it, or is still on its way: a unit that
    // waited for its label from the shift before starts under this shift's recipe or not at all.
    if (!shift_.startProblem.isEmpty() || !shift_.image) {
        checkSetUp();
        return;
    }
    DownloadJob job;
    job.printer = unit.printer;
    job.carry(shift_.image);
    job.route = RouteFor(choice_.kind == SlotKind::Network, job.kind, true);
    UnitContext context = shift_.context;
    context.label = unit.label;
    std::optional<RecipeVerdict> refused;
    if (const RecipeGate* recipe = shift_.recipe.get()) {
        context.recipe = recipe->stamp();
        if (RecipeVerdict verdict = recipe->checkUnit(job.printer, unit.label, comPorts_);
            !verdict.ok())
            refused = verdict;
    }
    unitLabel_ = unit.label;
    unitShift_ = context.shift;
    last_ = unit;
    tile_.showUnit(!unit.label.isEmpty() ? unit.label : unit.printer.mac);
    shownPercent_ = -1;
    shownSecondsLeft_ = -2;
    tile_.showUpdating(0, -1, 1, shift_.retries + 1);
    unitClock_.start();
    framesClock_.invalidate();
    if (!sameUnit)
        reachedAttempts_ = 0;
    // A unit tried again by a re-scan is timed over all its tries, not its last one alone.
    earlierMs_ = sameUnit ? lastUnitMs_ : 0;
    if (refused)
        run_.refuse(shift_.recipe->refusal(*refused, job), context);
    else if (sameUnit)
        run_.resume(job, context, shift_.retries);
    else
        run_.start(job, context, shift_.retries);
}

void LineSlot::onEvent(const DownloadEvent& e) {
    using Kind = DownloadEvent::Kind;
    switch (e.kind) {
    case Kind::Linking:
        if (tile_.state() == TileState::Updating)
            tile_.showUpdating(0, -1, run_.attempt(), shift_.retries + 1);
        return;
    case Kind::FramesKnown:
        framesClock_.start();
        estimate_ = {};
        progress(0, e.frames);
        return;
    case Kind::Retrying:
        retrying(e.cause, e.attempt);
        return;
    case Kind::RetryUnit:
        shownPercent_ = -1;
        tile_.showRetrying(e.nextAttempt, shift_.retries + 1,
                           texts_.cause(e.result->cause, e.result->step, e.result->frame,
                                        e.result->attempts, e.result->linkTimeoutMs));
        return;
    case Kind::Finished:
        reachedAttempts_ += ReachedPrinter(*e.result) ? 1 : 0;
        return;
    case Kind::UnitFinished:
        unitFinished(*e.result, e.unitAttempt);
        return;
    default:
        if (e.movesProgress())
            progress(e.accepted, e.frames);
        return;
    }
}

void LineSlot::progress(int accepted, int total) {
    if (total <= 0)
        return;
    const int percent = static_cast<int>(qint64(accepted) * 100 / total);
    // -1 ("starting…") until the recent frames give a rate; 0 once every frame is through.
    int secondsLeft = accepted >= total ? 0 : -1;
    if (accepted < total && framesClock_.isValid()) {
        const qint64 now = framesClock_.elapsed();
        estimate_.update(now, accepted, total);
        if (const std::optional<qint64> left = estimate_.remainingMs(now))
            secondsLeft = static_cast<int>(*left / 1000);
    }
    // A tile is redrawn only when what it says changes: with 32 printers the frames come by
    // the thousand a second.
    if (percent == shownPercent_ && secondsLeft == shownSecondsLeft_)
        return;
    shownPercent_ = percent;
    shownSecondsLeft_ = secondsLeft;
    tile_.showUpdating(percent, secondsLeft, run_.attempt(), shift_.retries + 1);
}

void LineSlot::retrying(Cause cause, int attempt) {
    // Each resend of a frame shows, so a silent printer is seen at once, not after its last
    // send. A frame's resends are not the unit's attempts: a later attempt still says which.
    QString what;
    switch (cause) {
    case Cause::PrinterRefused:
        what = tr("refused, resend %1 of %2");
        break;
    case Cause::WrongFrameNumber:
        what = tr("answer for another frame, resend %1 of %2");
        break;
    default:
        what = tr("no answer, resend %1 of %2");
        break;
    }
    what = what.arg(attempt - 1).arg(FrameTiming{}.attempts - 1);
    if (run_.attempt() > 1)
        what = tr("attempt %1 of %2 · ").arg(run_.attempt()).arg(shift_.retries + 1) + what;
    tile_.showFrameRetry(what);
}

void LineSlot::unitFinished(const DownloadResult& last, int attempts) {
    const bool passed = last.outcome == Outcome::Completed;
    const qint64 ms = lastUnitMs_ = earlierMs_ + unitClock_.elapsed();
    if (unitLabel_.isEmpty() && !last.printer.usbSerial.isEmpty())
        tile_.showUnit(last.printer.usbSerial);
    // A port gone or an image replaced is the station's problem, not the unit's verdict.
    if ((last.cause == Cause::PortMissing || last.outcome == Outcome::Refused) &&
        !checkSetUp().isEmpty()) {
        emit idle(number_);
        return;
    }
    if (last.outcome == Outcome::Cancelled) {
        // The operator's stop, not the unit's verdict: it counts as neither.
        tile_.showWaiting(tr("stopped; the update was cancelled safely"));
        emit idle(number_);
        return;
    }
    if (passed)
        tile_.showPass(ms, attempts);
    else
        tile_.showFail(
            texts_.cause(last.cause, last.step, last.frame, last.attempts, last.linkTimeoutMs),
            texts_.remedy(last.cause));
    emit unitDone(number_, passed, reachedAttempts_, ms);
    emit idle(number_);
}

} // namespace posflash
