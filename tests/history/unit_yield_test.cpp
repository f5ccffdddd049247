#include "history/unit_yield.h"

#include "history/history_store.h"

#include <gtest/gtest.h>

#include <vector>

namespace posflash {
namespace {

TEST(UnitYieldTest, CountsUnitsNotAttempts) {
    const QString a = "a", b = "b", c = "c";
    // clang-format off
    const struct { const char* what; std::vector<AttemptRow> rows; int units, firstPass, passed; } cases[] = {
        {"nothing", {}, 0, 0, 0},
        {"one pass", {{a, 1, "completed"}}, 1, 1, 1},
        {"passed at the second attempt", {{a, 1, "failed"}, {a, 2, "completed"}}, 1, 0, 1},
        {"three attempts, listed newest first", {{a, 3, "completed"}, {a, 2, "failed"}, {a, 1, "failed"}}, 1, 0, 1},
        {"three attempts, failed in the end", {{a, 1, "failed"}, {a, 2, "failed"}, {a, 3, "cancelled"}}, 1, 0, 0},
        {"rows without a unit are a unit each", {{"", 0, "completed"}, {"", 0, "failed"}, {"", 0, "completed"}}, 3, 2, 2},
        {"mixed", {{a, 1, "completed"}, {b, 1, "failed"}, {b, 2, "completed"}, {c, 1, "failed"}, {"", 0, "completed"}}, 4, 2, 3},
        {"refused before the first frame: no unit", {{a, 1, "refused", false}, {"", 0, "refused", false}, {b, 1, "failed", false}}, 0, 0, 0},
        {"a refusal, then a real attempt that passed", {{a, 1, "refused", false}, {a, 2, "completed"}}, 1, 1, 1},
        {"a real failure, then a refusal", {{a, 1, "failed"}, {a, 2, "refused", false}}, 1, 0, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const UnitYield y = YieldOf(c.rows);
        EXPECT_EQ(y.units, c.units);
        EXPECT_EQ(y.firstPass, c.firstPass);
        EXPECT_EQ(y.passed, c.passed);
    }
    const UnitYield mixed = YieldOf(cases[6].rows);
    EXPECT_DOUBLE_EQ(mixed.firstPassPercent(), 50.0);
    EXPECT_DOUBLE_EQ(mixed.finalPercent(), 75.0);
    EXPECT_DOUBLE_EQ(UnitYield{}.finalPercent(), 0.0);
    EXPECT_EQ(YieldOf(cases[7].rows).beforeFirstFrame, 3);
}

// What the record holds tells whether its printer received a frame.
TEST(UnitYieldTest, AnAttemptReachedItsPrinterOnlyOnceAFrameWasSent) {
    // clang-format off
    const struct { const char* outcome; const char* cause; int crc16; bool reached; } cases[] = {
        {"completed", "", 0x1234, true},
        {"failed", "printer-silent", 0x1234, true},
        {"failed", "printer-silent", -1, true}, // rows of older builds may lack the CRC-16
        {"failed", "disconnected", 0x1234, true},
        {"cancelled", "cancelled", 0x1234, true},
        {"cancelled", "cancelled", -1, false}, // during the link
        {"failed", "stopped", -1, false},
        {"refused", "recipe-label", -1, false},
        {"refused", "bad-trailer", -1, false},
        {"failed", "port-busy", 0x1234, false}, // the start frame was built, the port not opened
        {"failed", "link-timeout", -1, false},
        {"failed", "printer-absent", -1, false},
    };
    // clang-format on
    for (const auto& c : cases) {
        HistoryRecord r;
        r.outcome = c.outcome;
        r.cause = c.cause;
        r.crc16 = c.crc16;
        EXPECT_EQ(ReachedPrinter(r), c.reached) << c.outcome << ' ' << c.cause << ' ' << c.crc16;
        EXPECT_EQ(AttemptOf(r).reached, c.reached);
    }
}

} // namespace
} // namespace posflash
