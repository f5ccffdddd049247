#include "ports/printer_usb.h"

#include "ports/usb_fixture.h"

namespace posflash {
namespace {

using testing::UsbPortsTest;

constexpr auto kCdcPrinter = "USB\\VID_0483&PID_5740\\PRN0001";
constexpr auto kRawOnlyPrinter = "USB\\VID_0483&PID_5743\\PRN0002";

class UsbClassTest : public UsbPortsTest {};

TEST_F(UsbClassTest, UnknownPairsLowerCaseSpellingsAndAnUnreachableInventoryFindNothing) {
    inventory.list = {{"USB\\VID_0483&PID_5741\\PRN", "/dev/ttyACM0", "/dev/ttyACM0"},
                      {"USB\\vid_0483&pid_5740\\PRN", "/dev/ttyACM1", "/dev/ttyACM1"},
                      {"USB\\Vid_1fc9&Pid_2014\\PRN", "/dev/ttyACM2", "/dev/ttyACM2"}};
    EXPECT_FALSE(usb.findPrinterDevice());
    EXPECT_FALSE(usb.printerComPresent());
    inventory.list = {{kCdcPrinter, "/dev/ttyACM0", "/dev/ttyACM0"}};
    inventory.reachable = false;
    EXPECT_FALSE(usb.findPrinterDevice());
    EXPECT_FALSE(usb.printerComPresent());
    EXPECT_TRUE(usb.rawDevicePath().isEmpty());
    EXPECT_FALSE(usb.printerComNumber());
    EXPECT_FALSE(QFileInfo::exists(comPortsPath()));
}

TEST_F(UsbClassTest, FirstDeviceInTheHostsOrderWinsNotTheFirstId) {
    inventory.list = {{"USB\\VID_1FC9&PID_2014\\B", "/dev/ttyACM7", "/dev/ttyACM7"},
                      {kCdcPrinter, "/dev/ttyACM0", "/dev/ttyACM0"}};
    ASSERT_TRUE(usb.printerComPresent());
    const std::optional<int> number = usb.printerComNumber(); // assigns the number on first sight
    EXPECT_EQ(number, 3); // COM1 and COM2 are the on-board ports
    EXPECT_EQ(comPorts.comNumberOf("/dev/ttyACM7"), 3);
    EXPECT_EQ(comPorts.comNumberOf("/dev/ttyACM0"), 0);
    const testing::FileSnapshot before = testing::FileSnapshot::of(comPortsPath());
    EXPECT_EQ(usb.printerComNumber(), 3); // and not written again
    EXPECT_EQ(testing::FileSnapshot::of(comPortsPath()), before);
}

TEST_F(UsbClassTest, FailedPathLookupKeepsThePreviousPath) {
    inventory.list = {UsbDeviceEntry{kRawOnlyPrinter, {}, "/dev/usb/lp3"}};
    ASSERT_TRUE(usb.findPrinterDevice());
    EXPECT_FALSE(usb.printerComPresent());
    EXPECT_EQ(usb.rawDevicePath(), "/dev/usb/lp3");
    inventory.list = {UsbDeviceEntry{kRawOnlyPrinter, {}, {}}};
    EXPECT_TRUE(usb.findPrinterDevice());
    EXPECT_EQ(usb.rawDevicePath(), "/dev/usb/lp3");
}

} // namespace
} // namespace posflash
