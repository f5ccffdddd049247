#include "cli/usage_hint.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(UsageHint, NamesTheOptionMeantOnlyWhenOneIsClearlyNearest) {
    const QStringList known{"port", "ip", "mac", "json", "font", "format", "lang", "label", "port"};
    // clang-format off
    const struct { const char* typed; const char* meant; } cases[] = {
        {"prot", "port"},   // two letters swapped
        {"jsno", "json"},
        {"por", "port"},    // the only one it begins
        {"fo", ""},         // begins two, and near several
        {"lable", "label"},
        {"xyzzy", ""},      // near none
        {"", ""},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(NearestOption(c.typed, known), c.meant) << c.typed;
}

TEST(UsageHint, PointsToTheCommandsHelpUnderTheCause) {
    const QStringList known{"port", "json"};
    EXPECT_EQ(UsageHint("Unknown option 'prot'.", known, "download"),
              "did you mean --port?\nsee 'posflash-cli help download'\n");
    EXPECT_EQ(UsageHint("download needs --port", known, ""), "see 'posflash-cli help'\n");
    EXPECT_EQ(UsageHint("unknown command downlaod", known, "", {"download", "history"}),
              "did you mean download?\nsee 'posflash-cli help'\n");
}

} // namespace
} // namespace posflash
