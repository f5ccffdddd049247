#pragma once

#include "line/slot_choice.h"

#include <QString>

#include <deque>
#include <utility>
#include <vector>

namespace posflash {

// Which slot a scanned label, a Next or a plugged-in printer starts. A slot that has its
// verdict takes a new unit only when the operator says the unit was swapped (Next, a printer
// plugged into a USB slot, a new MAC on a network slot), so a scan never starts a unit that
// already passed. A scan goes to the target: the unit that has waited longest for its label,
// or the one the operator pointed at; the target changes only when its unit takes a label or
// the operator points elsewhere, so the mark on the screen never lies. A scan that no unit
// waits for is held for the next unit, and a second one is refused while it is held: a label
// in the operator's hand is never swapped for another behind their back. A failed unit is
// tried again on its own slot when its own label is scanned again. Knows no widgets: the
// window acts on what it answers and tells it how each unit ended.
class SlotChooser {
public:
    enum class Phase {
        Empty,      // no unit since the shift began, or its verdict cleared
        NeedsLabel, // a unit is here and waits for its label
        Running,
        Passed,
        Failed,
        Stopped,  // the operator's stop: no verdict, the unit stays
        Unusable, // a set-up problem (a missing port): no unit can start
    };

    struct Action {
        enum class Kind {
            None,   // nothing starts
            Start,  // slot starts a new unit with label (maybe empty)
            Wait,   // slot has a new unit that waits for its label
            Retry,  // slot tries its failed unit again, with its label
            Hold,   // the label waits for the next unit
            Refuse, // another label is held: this one goes nowhere
        };
        Kind kind = Kind::None;
        int slot = 0; // from 1
        QString label;
    };

    SlotChooser(std::vector<SlotKind> kinds, bool requireLabel);

    // What a label scanned or typed would do, and doing it; mac: it names a network printer
    // (its MAC label).
    Action planScan(const QString& label, bool mac) const;
    Action scanned(const QString& label, bool mac);
    // The slot whose waiting unit the next plain scan starts; 0 when no unit waits.
    int target() const;
    // The operator points the next scan at slot (a click on its tile, its slot code).
    enum class Direction { Directed, NoSuchSlot, NotWaiting };
    Direction direct(int slot);
    // Whether scanning label would try a failed unit again (no second-use question then).
    bool isRetry(const QString& label) const;
    // A new unit is on slot: its Next, a printer plugged into it, a MAC typed on its tile, or
    // the shift's first unit.
    Action arrived(int slot);
    // The unit on slot ended: with its verdict, or stopped by the operator.
    void finished(int slot, bool passed);
    void stopped(int slot);
    // slot cannot work (its port is missing); a later arrival tries again.
    void unusable(int slot);
    // The window is closing: nothing starts any more.
    void leave() { leaving_ = true; }
    // A new shift: the verdicts go, the printers stay until swapped; a held label stays, as it
    // stays in the operator's hand.
    void newShift();
    // Whether a unit waits for its label before it starts: the shift's recipe may ask it.
    void requireLabel(bool required) { requireLabel_ = required; }
    // A label taken for a unit that did not start comes back as held.
    void hold(const QString& label) { held_ = label; }
    // The operator drops the held label; whether there was one.
    bool dropHeld() { return !std::exchange(held_, {}).isEmpty(); }

    Phase phase(int slot) const { return slots_.at(index(slot)).phase; }
    const QString& held() const { return held_; }
    const QString& label(int slot) const { return slots_.at(index(slot)).label; }

private:
    struct Slot {
        SlotKind kind;
        Phase phase = Phase::Empty;
        QString label; // the unit's, once it has one
    };
    static std::size_t index(int slot) { return static_cast<std::size_t>(slot - 1); }
    Action start(int slot, const QString& label);
    bool valid(int slot) const { return slot >= 1 && index(slot) < slots_.size(); }

    std::vector<Slot> slots_;
    bool requireLabel_;
    bool leaving_ = false;
    QString held_;
    std::deque<int> waiting_; // slots that wait for a label, oldest first
    int directed_ = 0;        // the operator's choice among them; 0: the oldest
};

} // namespace posflash
