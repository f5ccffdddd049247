#include "line/slot_chooser.h"

#include <gtest/gtest.h>

namespace posflash::testing {
namespace {

// Which slot each step starts and which one the next scan is marked for, on COM slots 1, 2 and
// 4, a USB slot 3 (its units come by hot-plug) and a network slot 5, with a label required:
// the unit that waited longest takes a plain scan and keeps the mark until it has its label,
// the operator points a scan elsewhere, a scan never starts a slot that has its verdict, a
// scan no unit waits for is held and a second one refused, a failed unit's own label retries
// it in place, and nothing starts once the window is leaving.
TEST(SlotChooserTest, EveryScanGoesToTheMarkedUnitOrIsHeldOrRefused) {
    using Kind = SlotChooser::Action::Kind;
    using Phase = SlotChooser::Phase;
    using Direction = SlotChooser::Direction;
    SlotChooser chooser(
        {SlotKind::Com, SlotKind::Com, SlotKind::Usb, SlotKind::Com, SlotKind::Network}, true);
    enum Step { Arrive, Scan, ScanMac, Direct, Drop, Pass, Fail, Stop, Unusable, NewShift, Leave };
    constexpr Direction Ok = Direction::Directed;
    // kind: what the step starts; startedOn: its slot (0: none); held: the label held afterwards;
    // target: the slot marked for the next scan afterwards; direction: a Direct step's answer
    // clang-format off
    struct Case { Step step; int slot; const char* label; Kind kind; int startedOn; const char* held; int target; Direction direction = Ok; };
    const Case cases[] = {
        {Arrive,   3, "",      Kind::Wait,   3, "",      3},  // plugged in
        {Arrive,   1, "",      Kind::Wait,   1, "",      3},  // the oldest keeps the mark
        {Arrive,   4, "",      Kind::Wait,   4, "",      3},
        {Arrive,   2, "",      Kind::Wait,   2, "",      3},
        {Arrive,   2, "",      Kind::None,   0, "",      3},  // already waits
        {Scan,     0, "SN-A",  Kind::Start,  3, "",      1},  // then the mark moves on
        {Direct,   4, "",      Kind::None,   0, "",      4},
        {Direct,   3, "",      Kind::None,   0, "",      4, Direction::NotWaiting},
        {Direct,   6, "",      Kind::None,   0, "",      4, Direction::NoSuchSlot},
        {Scan,     0, "SN-B",  Kind::Start,  4, "",      1},
        {Direct,   2, "",      Kind::None,   0, "",      2},
        {Unusable, 2, "",      Kind::None,   0, "",      1},  // its port went: back to the oldest
        {Scan,     0, "SN-C",  Kind::Start,  1, "",      0},
        {Pass,     3, "",      Kind::None,   0, "",      0},
        {Fail,     4, "",      Kind::None,   0, "",      0},
        {Scan,     0, "SN-D",  Kind::Hold,   0, "SN-D",  0},  // not slot 3, which passed
        {Scan,     0, "SN-D",  Kind::Hold,   0, "SN-D",  0},  // the same label again
        {Scan,     0, "SN-E",  Kind::Refuse, 0, "SN-D",  0},  // never replaced silently
        {Scan,     0, "SN-B",  Kind::Retry,  4, "SN-D",  0},  // the failed unit, in place
        {Stop,     4, "",      Kind::None,   0, "SN-D",  0},
        {Scan,     0, "SN-B",  Kind::Refuse, 0, "SN-D",  0},  // a stopped unit is no retry
        {ScanMac,  0, "00-11-22-33-44-55", Kind::Start, 5, "SN-D", 0}, // a MAC names its printer
        {Arrive,   3, "",      Kind::Start,  3, "",      0},  // the next plugged in takes SN-D
        {Scan,     0, "SN-F",  Kind::Hold,   0, "SN-F",  0},
        {Drop,     0, "",      Kind::None,   0, "",      0},
        {Scan,     0, "SN-G",  Kind::Hold,   0, "SN-G",  0},
        {Fail,     5, "",      Kind::None,   0, "SN-G",  0},
        {NewShift, 0, "",      Kind::None,   0, "SN-G",  0},  // verdicts go, the held label stays
        {Pass,     1, "",      Kind::None,   0, "SN-G",  0},
        {Arrive,   1, "",      Kind::Start,  1, "",      0},  // Next takes the held label
        {ScanMac,  0, "00-11-22-33-44-55", Kind::Start, 5, "", 0}, // no retry across shifts
        {Pass,     5, "",      Kind::None,   0, "",      0},
        {Arrive,   2, "",      Kind::Wait,   2, "",      2},  // fixed and Next: waits again
        {Arrive,   4, "",      Kind::Wait,   4, "",      2},
        {Arrive,   5, "",      Kind::Wait,   5, "",      2},
        {Direct,   5, "",      Kind::None,   0, "",      5},
        {Scan,     0, "SN-H",  Kind::Start,  5, "",      2},
        {Arrive,   5, "",      Kind::None,   0, "",      2},  // running
        {Pass,     1, "",      Kind::None,   0, "",      2},
        {Leave,    0, "",      Kind::None,   0, "",      2},
        {Arrive,   1, "",      Kind::None,   0, "",      2},
        {Scan,     0, "SN-9",  Kind::None,   0, "",      2},
    };
    // clang-format on
    int row = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(++row);
        SlotChooser::Action action;
        // clang-format off
        switch (c.step) {
        case Arrive: action = chooser.arrived(c.slot); break;
        case Scan: action = chooser.scanned(c.label, false); break;
        case ScanMac: action = chooser.scanned(c.label, true); break;
        case Direct: EXPECT_EQ(chooser.direct(c.slot), c.direction); break;
        case Drop: EXPECT_TRUE(chooser.dropHeld()); break;
        case Pass: chooser.finished(c.slot, true); break;
        case Fail: chooser.finished(c.slot, false); break;
        case Stop: chooser.stopped(c.slot); break;
        case Unusable: chooser.unusable(c.slot); break;
        case NewShift: chooser.newShift(); break;
        case Leave: chooser.leave(); break;
        }
        // clang-format on
        EXPECT_EQ(action.kind, c.kind);
        EXPECT_EQ(action.slot, c.startedOn);
        EXPECT_EQ(chooser.held(), c.held);
        EXPECT_EQ(chooser.target(), c.target);
        if (c.kind == Kind::Start || c.kind == Kind::Retry) {
            EXPECT_EQ(chooser.phase(c.startedOn), Phase::Running);
        }
    }
}

} // namespace
} // namespace posflash::testing
