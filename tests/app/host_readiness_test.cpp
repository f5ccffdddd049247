#include "app/host_readiness.h"

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

} // namespace
} // namespace posflash
