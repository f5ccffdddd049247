#include "ports/device_parameters.h"

#include "ports/com_port_map.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(DeviceParameterTest, MissingValuesGiveAnErrorAndLeaveTheMapAlone) {
    ComPortMap map;
    const UsbDeviceEntry bare{"USB\\VID_0483&PID_5743\\PRN", {}, {}};
    const UsbDeviceEntry printer{"USB\\VID_0483&PID_5740\\PRN", "/dev/ttyACM0", "/dev/ttyACM0"};
    EXPECT_EQ(ReadDeviceParameter(bare, "PortName", map).error().code, ENOENT);
    EXPECT_EQ(ReadDeviceParameter(bare, "SymbolicName", map).error().code, ENOENT);
    EXPECT_EQ(ReadDeviceParameter(printer, "FriendlyName", map).error().code, ENOENT);
    EXPECT_EQ(map.comNumberOf("/dev/ttyACM0"), 0); // an unknown name assigns no number
    for (int n = 1; n <= ComPortMap::kLastNumber; ++n)
        ASSERT_TRUE(map.setMapping(n, QStringLiteral("/dev/ttyX%1").arg(n)).ok());
    EXPECT_FALSE(ReadDeviceParameter(printer, "PortName", map).ok()); // no free number
}

TEST(DeviceParameterTest, ValuesEndAtNulAndAreCutToTheBufferNeverOverrun) {
    ComPortMap map;
    const QString longNode = "/dev/" + QString(300, QLatin1Char('x'));
    EXPECT_EQ(ReadDeviceParameter({"USB\\VID_0483&PID_5743\\P", {}, longNode}, "SymbolicName", map)
                  .value_or({}),
              longNode.left(kRegValueMaxChars));
    const QString withNul = QStringLiteral("/dev/usb/lp1") + QChar(0) + "/tail";
    EXPECT_EQ(ReadDeviceParameter({"USB\\VID_0483&PID_5743\\P", {}, withNul}, "symbolicname", map)
                  .value_or({}),
              "/dev/usb/lp1");
}

} // namespace
} // namespace posflash
