#include "printer-sim/app_firmware.h"

#include "sim_frames.h"

#include <gtest/gtest.h>

namespace posflash::sim {
namespace {

using namespace testing;

const Bytes kBoot(kBootCommand.begin(), kBootCommand.end());
const Bytes kFontMode(kFontModeCommand.begin(), kFontModeCommand.end());

// --- The boot command -------------------------------------------------------------------------

TEST(BootCommand, IsCountedAndNotAnsweredWithoutEcho) {
    AppSession session(0, false);
    const AppStep step = session.feed(kBoot);
    EXPECT_EQ(step.bootCommands, 1);
    EXPECT_TRUE(step.answer.empty());
    EXPECT_FALSE(session.inFontMode());
}

TEST(BootCommand, EchoSendsBackItsFirstNineOrTenBytes) {
    AppSession nine(9, false);
    EXPECT_EQ(nine.feed(kBoot).answer,
              Bytes({0x1F, 0x1B, 0x1C, 0x06, 0xFF, 0x62, 0x6F, 0x6F, 0x74}));
    AppSession ten(10, false);
    EXPECT_EQ(ten.feed(kBoot).answer,
              Bytes({0x1F, 0x1B, 0x1C, 0x06, 0xFF, 0x62, 0x6F, 0x6F, 0x74, 0x08}));
}

TEST(BootCommand, ArrivingByteByByteIsCountedOnceWhenWhole) {
    AppSession session(10, false);
    int count = 0;
    for (std::size_t i = 0; i < kBoot.size(); ++i) {
        const AppStep step = session.feed(ByteView(kBoot).subspan(i, 1));
        count += step.bootCommands;
        EXPECT_EQ(step.answer.empty(), i + 1 < kBoot.size()) << "byte " << i;
    }
    EXPECT_EQ(count, 1);
}

TEST(BootCommand, TwoJoinedAfterNoiseAreTwoCommandsAndTwoEchoes) {
    AppSession session(9, false);
    const AppStep step = session.feed(join({Bytes{0x1F, 0x00, 0x1B}, kBoot, kBoot}));
    EXPECT_EQ(step.bootCommands, 2);
    EXPECT_EQ(step.answer.size(), 18u);
}

TEST(BootCommand, NearMissesAreNotCommands) {
    Bytes wrongEnd = kBoot;
    wrongEnd.back() = 0x0D;
    const Bytes cut(kBoot.begin(), kBoot.end() - 1);
    AppSession session(10, false);
    EXPECT_EQ(session.feed(wrongEnd).bootCommands, 0);
    EXPECT_EQ(session.feed(cut).bootCommands, 0); // its end may still come
    EXPECT_EQ(session.feed(Bytes{0x0B}).bootCommands, 0);
    EXPECT_EQ(session.feed(kBoot).bootCommands, 1); // and nothing held blocks the next one
}

TEST(BootCommand, SilentFirmwareCountsButDoesNotEcho) {
    AppSession session(10, true);
    const AppStep step = session.feed(kBoot);
    EXPECT_EQ(step.bootCommands, 1);
    EXPECT_TRUE(step.answer.empty());
}

// --- Font mode ----------------------------------------------------------------------------------

TEST(FontMode, CommandIsConfirmedWithTheThirteenByteFrame) {
    AppSession session(0, false);
    const AppStep step = session.feed(kFontMode);
    EXPECT_TRUE(step.enteredFontMode);
    EXPECT_TRUE(session.inFontMode());
    EXPECT_EQ(step.answer, Bytes({0x1F, 0x1B, 0x1C, 0x06, 0x04, 0x80, 0xF0, 0x02, 0x00, 0x00, 0x00,
                                  0x00, 0x00}));
    EXPECT_EQ(step.bootCommands, 0);
}

TEST(FontMode, BytesJoinedToTheCommandAreTheDownloadsFirstBytes) {
    const Bytes image = patternImage(1500);
    const Bytes start = startFrame(0x81, image);
    AppSession session(0, false);
    const AppStep step = session.feed(join({kFontMode, Bytes(start.begin(), start.begin() + 7)}));
    EXPECT_TRUE(step.enteredFontMode);
    EXPECT_EQ(step.fontDownload, Bytes(start.begin(), start.begin() + 7));
}

TEST(FontMode, EverythingAfterwardsGoesToTheBootLoaderEvenABootCommand) {
    AppSession session(10, false);
    session.feed(Bytes(kFontMode.begin(), kFontMode.begin() + 4));
    EXPECT_TRUE(session.feed(Bytes(kFontMode.begin() + 4, kFontMode.end())).enteredFontMode);
    const AppStep step = session.feed(kBoot);
    EXPECT_EQ(step.fontDownload, kBoot);
    EXPECT_EQ(step.bootCommands, 0);
    EXPECT_TRUE(step.answer.empty());
}

TEST(FontMode, SilentFirmwareSwitchesWithoutConfirming) {
    AppSession session(0, true);
    const AppStep step = session.feed(kFontMode);
    EXPECT_TRUE(step.enteredFontMode);
    EXPECT_TRUE(step.answer.empty());
}

TEST(FontMode, AFrameWithAnotherStatusIsNotTheFontModeCommand) {
    Bytes other = kFontMode;
    other[4] = 0x04;
    AppSession session(0, false);
    EXPECT_FALSE(session.feed(other).enteredFontMode);
    EXPECT_FALSE(session.inFontMode());
}

} // namespace
} // namespace posflash::sim
