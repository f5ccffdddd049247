#include "history/csv_field.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

// Labels come from scanners and other stations; quality staff open the CSV in a spreadsheet.
TEST(CsvField, FormulaStartsStayTextAndRfc4180QuotingHolds) {
    // clang-format off
    const struct { QString cell; QString written; } cases[] = {
        {"SN-0001",                          "SN-0001"},
        {"=HYPERLINK(\"http://x\",\"c\")",   "\"'=HYPERLINK(\"\"http://x\"\",\"\"c\"\")\""},
        {"+cmd|' /C calc'!A0",               "'+cmd|' /C calc'!A0"},
        {"-2+3",                             "'-2+3"},
        {"@x",                               "'@x"},
        {"\tx",                              "'\tx"},
        {"\rx",                              "\"'\rx\""},
        {"-12",                              "-12"},
        {"+3.5",                             "+3.5"},
        {"a,b",                              "\"a,b\""},
        {"",                                 ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cell.toStdString());
        EXPECT_EQ(CsvField(c.cell).toStdString(), c.written.toStdString());
    }
}

} // namespace
} // namespace posflash
