#include "ports/regedit.h"

#include "ports/com_port_map.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>

namespace posflash {
namespace {

const UsbDeviceEntry kPrinter{"USB\\VID_0483&PID_5740\\PRN", "/dev/ttyACM0", "/dev/usb/lp0"};

TEST(RegReadValueTest, PortNameIsTheComNumberOfTheSerialNode) {
    ComPortMap map;
    map.setMapping(9, "/dev/ttyACM0");
    QString value;
    EXPECT_EQ(RegReadValue(kPrinter, "PortName", value, map), 0);
    EXPECT_EQ(value, "COM9");
}

TEST(RegReadValueTest, NewSerialNodeGetsTheLowestFreeNumberFromCom3AndKeepsIt) {
    QTemporaryDir dir;
    const QString file = dir.filePath("comports.ini");
    {
        ComPortMap map(file);
        map.setMapping(3, "/dev/ttyUSB0");
        QString value;
        ASSERT_EQ(RegReadValue(kPrinter, "PortName", value, map), 0);
        EXPECT_EQ(value, "COM4");
    }
    ComPortMap later(file); // a later run of the program
    QString value;
    ASSERT_EQ(RegReadValue(kPrinter, "PortName", value, later), 0);
    EXPECT_EQ(value, "COM4");
}

TEST(RegReadValueTest, SymbolicNameIsTheRawNode) {
    ComPortMap map;
    QString value;
    EXPECT_EQ(RegReadValue(kPrinter, "SymbolicName", value, map), 0);
    EXPECT_EQ(value, "/dev/usb/lp0");
}

TEST(RegReadValueTest, NamesMatchWithoutRegardToCase) {
    ComPortMap map;
    QString value;
    EXPECT_EQ(RegReadValue(kPrinter, "symbolicname", value, map), 0);
    EXPECT_EQ(value, "/dev/usb/lp0");
    EXPECT_EQ(RegReadValue(kPrinter, "PORTNAME", value, map), 0);
    EXPECT_EQ(value, "COM3");
}

TEST(RegReadValueTest, MissingValuesGiveAnErrorCodeAndLeaveTheSlotAlone) {
    ComPortMap map;
    const UsbDeviceEntry bare{"USB\\VID_0483&PID_5743\\PRN", {}, {}};
    QString value = "before";
    EXPECT_EQ(RegReadValue(bare, "PortName", value, map), ENOENT);
    EXPECT_EQ(RegReadValue(bare, "SymbolicName", value, map), ENOENT);
    EXPECT_EQ(RegReadValue(kPrinter, "FriendlyName", value, map), ENOENT);
    EXPECT_EQ(RegReadValue(kPrinter, "", value, map), ENOENT);
    EXPECT_EQ(value, "before");
    EXPECT_EQ(map.comNumberOf("/dev/ttyACM0"), 0); // a failed read hands out no number
}

TEST(RegReadValueTest, NoFreeComNumberIsAnErrorNotAWrongNumber) {
    ComPortMap map;
    for (int n = 1; n <= ComPortMap::kLastNumber; ++n)
        ASSERT_TRUE(map.setMapping(n, QStringLiteral("/dev/ttyX%1").arg(n)));
    QString value = "before";
    EXPECT_NE(RegReadValue(kPrinter, "PortName", value, map), 0);
    EXPECT_EQ(value, "before");
}

TEST(RegReadValueTest, LongValuesAreCutToTheBufferNeverOverrun) {
    ComPortMap map;
    const QString longNode = "/dev/" + QString(300, QLatin1Char('x'));
    const UsbDeviceEntry device{"USB\\VID_0483&PID_5743\\PRN", {}, longNode};
    QString value;
    ASSERT_EQ(RegReadValue(device, "SymbolicName", value, map), 0);
    EXPECT_EQ(value, longNode.left(kRegValueMaxChars));
}

TEST(RegReadValueTest, ValueEndsAtItsFirstNulCharacter) {
    ComPortMap map;
    const UsbDeviceEntry device{
        "USB\\VID_0483&PID_5743\\PRN", {}, QStringLiteral("/dev/usb/lp1") + QChar(0) + "/tail"};
    QString value;
    ASSERT_EQ(RegReadValue(device, "SymbolicName", value, map), 0);
    EXPECT_EQ(value, "/dev/usb/lp1");
}

} // namespace
} // namespace posflash
