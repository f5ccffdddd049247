#include "link/link_state.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(LinkState, OnlyANetworkBootLoaderDownloadReadsFromTheSocket) {
    EXPECT_TRUE(CheckGetDataMode(PortKindValue::Network, false, false));
    EXPECT_TRUE(CheckGetDataMode(PortKindValue::Network, true, true));
    EXPECT_FALSE(CheckGetDataMode(PortKindValue::Network, true, false));
    EXPECT_FALSE(CheckGetDataMode(PortKindValue::Com, false, true));
    EXPECT_FALSE(CheckGetDataMode(PortKindValue::Com, true, false));
}

TEST(LinkState, OnlyAFontOffTheComPortWithTheBootLoaderBoxClearGoesThroughTheFirmware) {
    EXPECT_TRUE(FontThroughFirmware(PortKindValue::Network, true, false));
    EXPECT_FALSE(FontThroughFirmware(PortKindValue::Network, true, true));
    EXPECT_FALSE(FontThroughFirmware(PortKindValue::Network, false, false));
    EXPECT_FALSE(FontThroughFirmware(PortKindValue::Com, true, false));
}

} // namespace
} // namespace posflash
