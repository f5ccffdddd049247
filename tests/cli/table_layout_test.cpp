#include "cli/table_layout.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(TableLayout, ColumnsFitTheirCellsAndGiveWayWidestFirstToFitTheTerminal) {
    const std::vector<TableColumn> columns{{"started"}, {"file", true}, {"reason", true}};
    const std::vector<QStringList> rows{
        {"12:00", "/fw/a-very-long-firmware-name.bin", "the printer did not answer frame 3"},
        {"12:01", "/fw/b.bin", "-"},
    };
    // clang-format off
    const struct { int width; const char* expected; } cases[] = {
        // Off a terminal every cell stays whole.
        {0, "started  file                               reason\n"
            "12:00    /fw/a-very-long-firmware-name.bin  the printer did not answer frame 3\n"
            "12:01    /fw/b.bin                          -\n"},
        // The two that give way shrink together, the widest first.
        {60, "started  file                      reason\n"
             "12:00    /fw/a-very-long-firmwar…  the printer did not answ…\n"
             "12:01    /fw/b.bin                 -\n"},
        // Never below 8 columns: the terminal wraps what still does not fit.
        {10, "started  file      reason\n"
             "12:00    /fw/a-v…  the pri…\n"
             "12:01    /fw/b.b…  -\n"},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(LayoutTable(columns, rows, c.width).toStdString(), c.expected) << c.width;
}

TEST(TableLayout, AWideCharacterTakesTwoColumnsAndIsNeverCutInHalf) {
    const std::vector<TableColumn> columns{{"label", true}, {"x"}};
    const std::vector<QStringList> rows{{"标签标签标签标签标签", "1"}};
    EXPECT_EQ(LayoutTable(columns, rows, 0).toStdString(), "label                 x\n"
                                                           "标签标签标签标签标签  1\n");
    EXPECT_EQ(LayoutTable(columns, rows, 11).toStdString(), "label     x\n"
                                                            "标签标…   1\n");
}

} // namespace
} // namespace posflash
