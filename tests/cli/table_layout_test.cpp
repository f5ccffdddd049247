#include "cli/history_command.h"
#include "cli/table_layout.h"

#include "cli/text_width.h"

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

HistoryRecord downloadRecord(const char* node, const char* outcome, const char* cause,
                             const char* reason) {
    HistoryRecord r;
    r.startedAt = QDateTime(QDate(2026, 3, 31), QTime(14, 30, 5));
    r.milliseconds = 12300;
    r.printer.node = QString::fromLatin1(node);
    r.printer.usbPath = QStringLiteral("1-1.2");
    r.label = QStringLiteral("SN-A1");
    r.filePath = "/home/operator/firmware/releases/2026/fw-2.1.bin";
    r.kind = QStringLiteral("program");
    r.attempt = 1;
    r.outcome = QString::fromLatin1(outcome);
    r.cause = QString::fromLatin1(cause);
    r.reasonEn = QString::fromLatin1(reason);
    return r;
}

TEST(TableLayout, HistoryFitsEightyAndAHundredColumnsKeepingFileNamesAndReasons) {
    const std::vector<HistoryRecord> records{
        downloadRecord("/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2:1.0", "completed", "", ""),
        downloadRecord("/dev/ttyUSB1", "failed", "printer-refused",
                       "the printer refused frame 30 of 120 after three tries; check the image"),
    };
    // clang-format off
    const struct { int width; bool nodeEndWhole; } cases[] = {{80, false}, {100, true}, {0, true}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.width);
        const QString table = HistoryTable(records, true, false, c.width);
        for (const QString& line : table.split('\n'))
            EXPECT_LE(DisplayWidth(line), c.width > 0 ? c.width : 1000) << line.toStdString();
        EXPECT_EQ(table.count("fw-2.1.bin"), 2);
        EXPECT_TRUE(table.contains("after three tries; check the image"));
        EXPECT_EQ(table.count("usb-0:1.2:1.0"), c.nodeEndWhole ? 1 : 0);
    }
}

} // namespace
} // namespace posflash
