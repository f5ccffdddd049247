#include "printer-sim/app_firmware.h"

#include "sim_frames.h"

#include <gtest/gtest.h>

namespace posflash::sim {
namespace {

using namespace testing;

const Bytes kBoot(kBootCommand.begin(), kBootCommand.end());
const Bytes kFontMode(kFontModeCommand.begin(), kFontModeCommand.end());

// TCP cuts and joins what the tool wrote as it likes; the tool only ever writes whole commands.
TEST(BootCommand, IsCountedOnceWhenWholeHoweverItArrives) {
    AppSession bytewise(10, false);
    int count = 0;
    for (std::size_t i = 0; i < kBoot.size(); ++i) {
        const AppStep step = bytewise.feed(ByteView(kBoot).subspan(i, 1));
        count += step.bootCommands;
        EXPECT_EQ(step.answer.empty(), i + 1 < kBoot.size()) << "byte " << i;
    }
    EXPECT_EQ(count, 1);

    AppSession joined(9, false);
    const AppStep step = joined.feed(join({Bytes{0x1F, 0x00, 0x1B}, kBoot, kBoot}));
    EXPECT_EQ(step.bootCommands, 2);
    EXPECT_EQ(step.answer.size(), 18u);

    // From the fixed-size command: GCC 12 -O3 warns on back() of a copy of kBoot.
    Bytes wrongEnd(kBootCommand.begin(), kBootCommand.end() - 1);
    wrongEnd.push_back(0x0D);
    AppSession nearMisses(10, false);
    EXPECT_EQ(nearMisses.feed(wrongEnd).bootCommands, 0);
    EXPECT_EQ(nearMisses.feed(Bytes(kBoot.begin(), kBoot.end() - 1)).bootCommands, 0);
    EXPECT_EQ(nearMisses.feed(Bytes{0x0B}).bootCommands, 0);
    EXPECT_EQ(nearMisses.feed(kBoot).bootCommands, 1); // nothing held blocks the next one
}

TEST(FontMode, EverythingAfterTheCommandGoesToTheBootLoaderEvenABootCommand) {
    const Bytes start = startFrame(0x81, patternImage(1500));
    AppSession session(10, false);
    session.feed(Bytes(kFontMode.begin(), kFontMode.begin() + 4));
    const AppStep entered = session.feed(join(
        {Bytes(kFontMode.begin() + 4, kFontMode.end()), Bytes(start.begin(), start.begin() + 7)}));
    EXPECT_TRUE(entered.enteredFontMode);
    EXPECT_EQ(entered.fontDownload, Bytes(start.begin(), start.begin() + 7));
    const AppStep step = session.feed(kBoot);
    EXPECT_EQ(step.fontDownload, kBoot);
    EXPECT_EQ(step.bootCommands, 0);
    EXPECT_TRUE(step.answer.empty());

    Bytes other = kFontMode;
    other[4] = 0x04;
    AppSession notFontMode(0, false);
    EXPECT_FALSE(notFontMode.feed(other).enteredFontMode);
    EXPECT_FALSE(notFontMode.inFontMode());
}

} // namespace
} // namespace posflash::sim
