#pragma once

#include "base/faces.h"
#include "download/progress_estimate.h"
#include "engine/engine.h"
#include "line/slot_choice.h"
#include "unit/cause_texts.h"
#include "unit/unit_run.h"

#include <QElapsedTimer>
#include <QObject>

#include <memory>
#include <optional>

namespace posflash {

class ComPortMap;
class DownloadHistory;
class FleetBootPorts;
class RecipeGate;
class SharedBootPorts;
class SlotTile;
class UsbInventory;

// What every slot of a shift shares.
struct ShiftChoices {
    // The shift's image, loaded once as it began; none while it loads or when it cannot be read.
    SharedImage image;
    int retries = 1;
    bool requireLabel = false;
    UnitContext context;  // operator, station and shift id; the label is each unit's own
    bool chinese = false; // the window's face, for the causes and remedies too
    // The line recipe the shift runs under (none: no recipe).
    std::shared_ptr<const RecipeGate> recipe;
    // Why no unit of the shift can start (its recipe refuses it, its image cannot be sent).
    QString startProblem;
};

// One slot of the line: its engine, the unit on it and the tile that shows it. A unit that
// appears waits for a label when one is required; its verdict stays on the tile until the next
// unit appears.
class LineSlot : public QObject, private DownloadObserver {
    Q_OBJECT
public:
    LineSlot(int number, SlotChoice choice, const ShiftChoices& shift, ComPortMap& comPorts,
             const UsbInventory& inventory, DownloadHistory* history, SlotTile& tile,
             const FleetBootPorts& bootPorts);
    ~LineSlot() override;

    int number() const { return number_; }
    const SlotChoice& choice() const { return choice_; }
    SlotTile& tile() { return tile_; }
    bool isRunning() const { return run_.isRunning(); }
    // A unit is here and waits for its label.
    bool needsLabel() const { return waiting_.has_value(); }
    // The shift id of the running or last unit.
    const QString& unitShift() const { return unitShift_; }
    // The running or last unit's id, which its attempts share.
    QString unitId() const { return run_.unitId(); }

    // What keeps this slot from working, in words an operator can act on (a missing port, an
    // image replaced since the shift began), shown on the tile; empty when it can work.
    QString checkSetUp();
    // The recipe does not name this slot's port: it stays out of use for the shift.
    bool outsideRecipe() const;

    // A unit appeared: the USB printer plugged in, the one on the line (COM, nothing known), a
    // printer with the MAC typed or scanned (network). It starts with label, or waits for one
    // when required and empty.
    void unitAppeared(const QString& label, const Printer& arrived = {});
    // The label for the unit that waits for one; it starts.
    void giveLabel(const QString& label);
    // The last unit again, on this slot, with its label: its attempts go on.
    void retryUnit();
    // The tile as before the first unit: no verdict, no unit, what to do next.
    void showWaitingHint();
    // Ends the unit cleanly: the link wait ends, closing frames go on, no further attempt.
    void cancel();

signals:
    // The unit's verdict: passed or not, after attempts, ms from its first attempt. attempts
    // counts those whose printer received a frame: 0 when every one was refused before its
    // first frame, which is recorded but is no unit.
    void unitDone(int slot, bool passed, int attempts, qint64 ms);
    // A unit appeared and waits for its label.
    void labelWanted(int slot);
    // The slot cannot work: a set-up problem, shown on the tile; no unit counts.
    void setUpNeeded(int slot);
    void idle(int slot);

private:
    struct Unit {
        QString label;
        Printer printer; // the slot's, with the unit's node or MAC
    };
    void start(const Unit& unit, bool sameUnit = false);
    QString node() const; // a COM slot's device node; empty when it has none

    void onEvent(const DownloadEvent& e) override;
    void progress(int accepted, int total);
    void retrying(Cause cause, int attempt);
    void unitFinished(const DownloadResult& last, int attempts);

    const int number_;
    const SlotChoice choice_;
    const ShiftChoices& shift_;
    SlotTile& tile_;
    ComPortMap& comPorts_;
    Faces faces_;
    CauseTexts texts_{faces_};
    Engine engine_;
    UnitRun run_;
    std::optional<Unit> waiting_;
    std::optional<Unit> last_; // the running or last unit
    QString unitLabel_;
    QString unitShift_;
    QElapsedTimer unitClock_;
    qint64 earlierMs_ = 0;  // the unit's tries before this one
    qint64 lastUnitMs_ = 0; // the unit's time at its last verdict
    QElapsedTimer framesClock_;
    ProgressEstimate estimate_; // of the running attempt, on framesClock_
    int reachedAttempts_ = 0;   // of the running or last unit, whose printer received a frame
    int shownPercent_ = -1;
    int shownSecondsLeft_ = -2;
};

} // namespace posflash
