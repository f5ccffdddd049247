// Whether the bind helper's file holds its right, read from the attribute setcap writes.
#include "link/bind_helper_client.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(BindHelperClient, OnlyAnEffectiveNetBindServiceCountsAsTheHelpersRight) {
    // clang-format off
    const struct { const char* attributeHex; bool grants; } cases[] = {
        {"0100000200040000000000000000000000000000", true},  // cap_net_bind_service+ep
        {"0000000200040000000000000000000000000000", false}, // +p only: never raised
        {"0100000200200000000000000000000000000000", false}, // cap_net_raw+ep
        {"01000002000400",                           false}, // cut short
        {"",                                         false}, // no attribute
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attributeHex);
        EXPECT_EQ(CapabilityGrantsBindService(QByteArray::fromHex(c.attributeHex)), c.grants);
    }
}

} // namespace
} // namespace posflash
