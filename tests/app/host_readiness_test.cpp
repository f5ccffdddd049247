#include "app/host_readiness.h"

#include "base/faces.h"
#include "support/test_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(HostReadinessTest, BootPortsNeedRootTheCapabilityOrLowUnprivilegedPorts) {
    const QByteArray withoutCap = "Name:\tposflash\nCapEff:\t0000000000000000\n";
    const QByteArray withCap = "Name:\tposflash\nCapEff:\t0000000000000400\n";
    const QByteArray otherCaps = "CapInh:\t0000000000000400\nCapEff:\t00000000000003ff\n";
    EXPECT_FALSE(MayBindBootPorts(1000, withoutCap, 1024));
    EXPECT_TRUE(MayBindBootPorts(1000, withCap, 1024));
    EXPECT_FALSE(MayBindBootPorts(1000, otherCaps, 1024));
    EXPECT_TRUE(MayBindBootPorts(0, withoutCap, 1024));
    EXPECT_TRUE(MayBindBootPorts(1000, withoutCap, 0));
    EXPECT_TRUE(MayBindBootPorts(1000, withoutCap, 67));
    EXPECT_FALSE(MayBindBootPorts(1000, withoutCap, 68));
    EXPECT_FALSE(MayBindBootPorts(1000, QByteArray(), -1));
}

TEST(HostReadinessTest, ASessionWithoutSeatOrRemoteIsNotServedByUaccess) {
    EXPECT_TRUE(SessionHasSeat("# This is private data. Do not parse.\nUID=1000\nACTIVE=1\n"
                               "REMOTE=0\nTYPE=wayland\nSEAT=seat0\nVTNR=2\n"));
    for (const char* without :
         {"UID=1000\nACTIVE=1\nREMOTE=1\nTYPE=tty\nREMOTE_HOST=10.0.0.7\n",
          "UID=1000\nREMOTE=1\nSEAT=seat0\n", // remote with a seat
          "UID=1000\nREMOTE=0\nTYPE=unspecified\n", "UID=1000\nREMOTE=0\nSEAT=\n"})
        EXPECT_FALSE(SessionHasSeat(without)) << without;
    // Without logind nothing is known to be missing.
    EXPECT_TRUE(SessionHasSeat(QByteArray()));
}

TEST(HostReadinessTest, ModemManagerOrBrlttySeenRunningOrStartableByUdev) {
    using Found = std::vector<HostShortcoming>;
    const QStringList quiet = {"systemd", "bash", "posflash", "ModemManagerX", "brltty-helper"};
    const QStringList units = {"udev.service", "cups.service", "dbus.service"};
    const QStringList rules = {"60-posflash.rules", "73-seat-late.rules"};
    const QStringList none;
    using enum HostShortcoming;
    // clang-format off
    const struct { QStringList processes, units, rules; Found found; } cases[] = {
        {none, none, none, {}},
        {{"ModemManager"}, none, none, {ModemManager}},
        {none, {"ModemManager.service"}, none, {ModemManager}},
        {{"brltty"}, none, none, {Brltty}},
        {none, {"brltty-udev.service"}, none, {Brltty}},
        {none, {"brltty@-dev-ttyUSB0.service"}, none, {Brltty}},
        {none, none, {"85-brltty.rules"}, {Brltty}},
        {{"ModemManager", "brltty"}, none, none, {ModemManager, Brltty}},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(PortGrabbers(quiet + c.processes, units + c.units, rules + c.rules), c.found)
            << (c.processes + c.units + c.rules).join(' ').toStdString();
}

// Our rule is found in any of the rule folders; a masked one is not read by udev.
TEST(HostReadinessTest, UdevRuleIsFoundInAnyFolderAndAMaskedBrlttyRuleIsNotRead) {
    QTemporaryDir etc;
    QTemporaryDir lib;
    EXPECT_FALSE(UdevRuleInstalled({etc.path(), lib.path()}));
    testing::WriteFile(etc.filePath("60-other.rules"), {});
    EXPECT_FALSE(UdevRuleInstalled({etc.path(), lib.path()}));
    testing::WriteFile(lib.filePath("60-posflash.rules"), {});
    EXPECT_TRUE(UdevRuleInstalled({etc.path(), lib.path()}));
    QFile::remove(etc.filePath("60-other.rules"));

    for (const char* name : {"85-brltty.rules", "60-posflash.rules"})
        testing::WriteFile(lib.filePath(name), "ACTION==\"add\"\n");
    EXPECT_EQ(EffectiveUdevRuleFiles({etc.path(), lib.path()}),
              (QStringList{"60-posflash.rules", "85-brltty.rules"}));

    ASSERT_TRUE(QFile::link("/dev/null", etc.filePath("85-brltty.rules")));
    EXPECT_EQ(EffectiveUdevRuleFiles({etc.path(), lib.path()}), QStringList{"60-posflash.rules"});

    QFile::remove(etc.filePath("85-brltty.rules"));
    testing::WriteFile(etc.filePath("85-brltty.rules"), {});
    EXPECT_EQ(EffectiveUdevRuleFiles({etc.path(), lib.path()}), QStringList{"60-posflash.rules"});
}

// Each face names the remedy (the placeholder filled in too); the other face is translated.
TEST(HostReadinessTest, EachShortcomingNamesItsRemedyInBothFaces) {
    Faces faces;
    ASSERT_TRUE(faces.hasChinese());
    // clang-format off
    const struct { HostShortcoming missing; const char* remedy; } cases[] = {
        {HostShortcoming::SerialAccess, "dialout"},
        {HostShortcoming::UdevRule, "60-posflash.rules"},
        {HostShortcoming::BootPorts, "67"},
        {HostShortcoming::NoSeat, "dialout"},
        {HostShortcoming::ModemManager, "60-posflash.rules"},
        {HostShortcoming::Brltty, "brltty"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.remedy);
        faces.setUseEnglish(true);
        const QString english = HostShortcomingText(c.missing, faces);
        faces.setUseEnglish(false);
        const QString chinese = HostShortcomingText(c.missing, faces);
        EXPECT_TRUE(english.contains(c.remedy)) << english.toStdString();
        EXPECT_TRUE(chinese.contains(c.remedy)) << chinese.toStdString();
        EXPECT_NE(chinese, english);
    }
}

} // namespace
} // namespace posflash
