#include "line/label_desk.h"

#include <gtest/gtest.h>

namespace posflash::testing {
namespace {

// A network printer's label gives its MAC in any of the usual spellings; nothing else does.
TEST(LabelDeskTest, MacLabelsGiveTheEnginesSpelling) {
    // clang-format off
    const std::pair<const char*, const char*> cases[] = {
        {"00:11:22:aa:bb:cc", "00-11-22-AA-BB-CC"},
        {"00-11-22-AA-BB-CC", "00-11-22-AA-BB-CC"},
        {" 001122aabbcc ", "00-11-22-AA-BB-CC"},
        {"00:11-22:aa:bb:cc", nullptr}, // mixed separators
        {"00:11:22:aa:bb", nullptr},
        {"LX80-00412", nullptr},
        {"00112233445G", nullptr},
    };
    // clang-format on
    for (const auto& [label, mac] : cases) {
        EXPECT_EQ(MacFromLabel(label), mac ? std::optional<QString>(mac) : std::nullopt) << label;
    }
}

} // namespace
} // namespace posflash::testing
