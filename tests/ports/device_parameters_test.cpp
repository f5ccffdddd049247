#include "ports/device_parameters.h"

#include "ports/com_port_map.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(RegReadValueTest, MissingValuesGiveAnErrorCodeAndLeaveTheSlotAndTheMapAlone) {
    ComPortMap map;
    const UsbDeviceEntry bare{"USB\\VID_0483&PID_5743\\PRN", {}, {}};
    const UsbDeviceEntry printer{"USB\\VID_0483&PID_5740\\PRN", "/dev/ttyACM0", "/dev/ttyACM0"};
    QString value = "before";
    EXPECT_NE(ReadDeviceParameter(bare, "PortName", value, map), 0);
    EXPECT_NE(ReadDeviceParameter(bare, "SymbolicName", value, map), 0);
    EXPECT_NE(ReadDeviceParameter(printer, "FriendlyName", value, map), 0);
    for (int n = 1; n <= ComPortMap::kLastNumber; ++n)
        ASSERT_TRUE(map.setMapping(n, QStringLiteral("/dev/ttyX%1").arg(n)));
    EXPECT_NE(ReadDeviceParameter(printer, "PortName", value, map), 0); // no free number
    EXPECT_EQ(value, "before");
}

TEST(RegReadValueTest, ValuesEndAtNulAndAreCutToTheBufferNeverOverrun) {
    ComPortMap map;
    const QString longNode = "/dev/" + QString(300, QLatin1Char('x'));
    QString value;
    ASSERT_EQ(ReadDeviceParameter({"USB\\VID_0483&PID_5743\\P", {}, longNode}, "SymbolicName",
                                  value, map),
              0);
    EXPECT_EQ(value, longNode.left(kRegValueMaxChars));
    const QString withNul = QStringLiteral("/dev/usb/lp1") + QChar(0) + "/tail";
    ASSERT_EQ(
        ReadDeviceParameter({"USB\\VID_0483&PID_5743\\P", {}, withNul}, "symbolicname", value, map),
        0);
    EXPECT_EQ(value, "/dev/usb/lp1");
}

} // namespace
} // namespace posflash
