#include "history/unit_yield.h"

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
        {"mixed", {{a, 1, "completed"}, {b, 1, "failed"}, {b, 2, "completed"}, {c, 1, "refused"}, {"", 0, "completed"}}, 4, 2, 3},
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
}

} // namespace
} // namespace posflash
