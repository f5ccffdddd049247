#include "app/host_readiness.h"

#include "base/faces.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(HostReadinessTest, UdevRuleIsFoundInAnyOfTheRuleFolders) {
    QTemporaryDir etc;
    QTemporaryDir lib;
    EXPECT_FALSE(UdevRuleInstalled({etc.path(), lib.path()}));
    QFile other(lib.filePath("60-other.rules"));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    EXPECT_FALSE(UdevRuleInstalled({etc.path(), lib.path()}));
    QFile rule(lib.filePath("60-posflash.rules"));
    ASSERT_TRUE(rule.open(QIODevice::WriteOnly));
    EXPECT_TRUE(UdevRuleInstalled({etc.path(), lib.path()}));
}

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
    const QByteArray atSeat = "# This is private data. Do not parse.\nUID=1000\nACTIVE=1\n"
                              "REMOTE=0\nTYPE=wayland\nSEAT=seat0\nVTNR=2\n";
    const QByteArray sshLogin = "UID=1000\nACTIVE=1\nREMOTE=1\nTYPE=tty\nREMOTE_HOST=10.0.0.7\n";
    const QByteArray remoteWithSeat = "UID=1000\nREMOTE=1\nSEAT=seat0\n";
    const QByteArray noSeat = "UID=1000\nREMOTE=0\nTYPE=unspecified\n";
    const QByteArray emptySeat = "UID=1000\nREMOTE=0\nSEAT=\n";
    EXPECT_TRUE(SessionHasSeat(atSeat));
    EXPECT_FALSE(SessionHasSeat(sshLogin));
    EXPECT_FALSE(SessionHasSeat(remoteWithSeat));
    EXPECT_FALSE(SessionHasSeat(noSeat));
    EXPECT_FALSE(SessionHasSeat(emptySeat));
    // Without logind nothing is known to be missing.
    EXPECT_TRUE(SessionHasSeat(QByteArray()));
}

TEST(HostReadinessTest, ModemManagerOrBrlttySeenRunningOrStartableByUdev) {
    using Found = std::vector<HostShortcoming>;
    const QStringList quiet = {"systemd", "bash", "posflash", "ModemManagerX", "brltty-helper"};
    const QStringList units = {"udev.service", "cups.service", "dbus.service"};
    const QStringList rules = {"60-posflash.rules", "73-seat-late.rules"};
    EXPECT_EQ(PortGrabbers(quiet, units, rules), Found{});

    EXPECT_EQ(PortGrabbers(quiet + QStringList{"ModemManager"}, units, rules),
              Found{HostShortcoming::ModemManager});
    EXPECT_EQ(PortGrabbers(quiet, units + QStringList{"ModemManager.service"}, rules),
              Found{HostShortcoming::ModemManager});

    EXPECT_EQ(PortGrabbers(quiet + QStringList{"brltty"}, units, rules),
              Found{HostShortcoming::Brltty});
    EXPECT_EQ(PortGrabbers(quiet, units + QStringList{"brltty-udev.service"}, rules),
              Found{HostShortcoming::Brltty});
    EXPECT_EQ(PortGrabbers(quiet, units + QStringList{"brltty@-dev-ttyUSB0.service"}, rules),
              Found{HostShortcoming::Brltty});
    EXPECT_EQ(PortGrabbers(quiet, units, rules + QStringList{"85-brltty.rules"}),
              Found{HostShortcoming::Brltty});

    EXPECT_EQ(PortGrabbers({"ModemManager", "brltty"}, {}, {}),
              (Found{HostShortcoming::ModemManager, HostShortcoming::Brltty}));
}

TEST(HostReadinessTest, AMaskedBrlttyRuleIsNotReadByUdev) {
    QTemporaryDir etc;
    QTemporaryDir lib;
    for (const char* name : {"85-brltty.rules", "60-posflash.rules"}) {
        QFile rule(lib.filePath(name));
        ASSERT_TRUE(rule.open(QIODevice::WriteOnly));
        rule.write("ACTION==\"add\"\n");
    }
    EXPECT_EQ(EffectiveUdevRuleFiles({etc.path(), lib.path()}),
              (QStringList{"60-posflash.rules", "85-brltty.rules"}));

    ASSERT_TRUE(QFile::link("/dev/null", etc.filePath("85-brltty.rules")));
    EXPECT_EQ(EffectiveUdevRuleFiles({etc.path(), lib.path()}), QStringList{"60-posflash.rules"});

    QFile::remove(etc.filePath("85-brltty.rules"));
    QFile empty(etc.filePath("85-brltty.rules"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_EQ(EffectiveUdevRuleFiles({etc.path(), lib.path()}), QStringList{"60-posflash.rules"});
}

TEST(HostReadinessTest, EachShortcomingNamesItsRemedyInBothFaces) {
    Faces faces;
    ASSERT_TRUE(faces.hasChinese());
    const struct {
        HostShortcoming missing;
        const char* english;
        const char* chinese;
    } cases[] = {
        {HostShortcoming::NoSeat,
         "this session has no seat (a remote login), so udev gives it no access to printers "
         "(join the dialout and lp groups)",
         "此会话没有座席（远程登录），udev 不会授予它访问打印机的权限（请加入 dialout 和 lp 组）"},
        {HostShortcoming::ModemManager,
         "ModemManager is running and may probe the printer's port (udev rule 60-posflash.rules "
         "keeps it off the printers; for other serial adapters stop or mask ModemManager)",
         "ModemManager 正在运行，可能探测打印机的端口（udev 规则 60-posflash.rules "
         "使其不碰打印机；其他串口适配器请停止或屏蔽 ModemManager）"},
        {HostShortcoming::Brltty,
         "brltty claims USB-serial adapters (remove the brltty package, or mask its udev rule "
         "and service)",
         "brltty 会占用 USB 串口适配器（请卸载 brltty 软件包，或屏蔽它的 udev 规则和服务）"},
        {HostShortcoming::UdevRule, "udev rule 60-posflash.rules not installed",
         "未安装 udev 规则 60-posflash.rules"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.english);
        faces.setUseEnglish(true);
        EXPECT_EQ(HostShortcomingText(c.missing, faces), QString::fromUtf8(c.english));
        faces.setUseEnglish(false);
        EXPECT_EQ(HostShortcomingText(c.missing, faces), QString::fromUtf8(c.chinese));
    }
}

} // namespace
} // namespace posflash
