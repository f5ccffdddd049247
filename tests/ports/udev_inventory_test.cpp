#include "ports/usb_inventory_linux.h"

#include "support/umockdev_testbed.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

using testing::FakeUsbDevice;
using testing::Testbed;

std::vector<UsbDeviceEntry> listed(const Testbed&) {
    const auto devices = UdevUsbInventory().devices();
    EXPECT_TRUE(devices.has_value());
    return devices.value_or(std::vector<UsbDeviceEntry>{});
}

TEST(UdevUsbInventoryTest, DevicesAreNamedWithUpperCaseIdsAndSerialOrBusPath) {
    Testbed bed;
    ASSERT_TRUE(bed.add(
        FakeUsbDevice{"1-1", "0483", "5740", "PRN0001", {{"02", "tty", "ttyACM0"}}}.description()));
    ASSERT_TRUE(bed.add(FakeUsbDevice{"1-3", "1fc9", "2016", "", {}}.description()));
    ASSERT_TRUE(bed.add(
        FakeUsbDevice{"1-4", "0483", "5743", "P", {{"07", "usbmisc", "usb/lp0"}}}.description()));
    const auto devices = listed(bed);
    ASSERT_EQ(devices.size(), 3u); // interfaces and ttys are no devices of their own
    EXPECT_EQ(devices[0].instanceId, "USB\\VID_0483&PID_5740\\PRN0001");
    EXPECT_EQ(devices[0].serialNode, "/dev/ttyACM0");
    EXPECT_EQ(devices[0].rawNode, "/dev/ttyACM0"); // no printer interface: the tty
    EXPECT_EQ(devices[1].instanceId, "USB\\VID_1FC9&PID_2016\\1-3");
    EXPECT_TRUE(devices[1].serialNode.isEmpty());
    EXPECT_TRUE(devices[1].rawNode.isEmpty());
    EXPECT_EQ(devices[0].serial, "PRN0001");
    EXPECT_EQ(devices[0].usbPath, "1-1");
    EXPECT_EQ(devices[1].vendorId, "1FC9");
    EXPECT_EQ(devices[1].productId, "2016");
    EXPECT_TRUE(devices[1].serial.isEmpty());
    EXPECT_TRUE(devices[2].serialNode.isEmpty()); // a printer interface only: no COM port
    EXPECT_EQ(devices[2].rawNode, "/dev/usb/lp0");
}

TEST(UdevUsbInventoryTest, NodesAreFoundWhereTheirDriversPutThemAndNowhereElse) {
    Testbed bed;
    FakeUsbDevice printer{
        "1-2",
        "0483",
        "5743",
        "",
        {{"03", "usbmisc", "usb/hiddev0"}, {"ff", "tty", "ttyUSB0"}, {"07", "usbmisc", "usb/lp0"}}};
    printer.interfaces[1].portDirectory = "ttyUSB0"; // as USB-serial drivers nest it
    ASSERT_TRUE(bed.add(printer.description()));
    ASSERT_TRUE(bed.add("P: /devices/virtual/tty/ttyACM9\nN: ttyACM9=00\nE: SUBSYSTEM=tty\n"
                        "E: DEVNAME=/dev/ttyACM9\n"));
    const auto devices = listed(bed);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].serialNode, "/dev/ttyUSB0");
    EXPECT_EQ(devices[0].rawNode, "/dev/usb/lp0");
}

TEST(UdevUsbInventoryTest, OddAttributesLeaveThatDeviceOutAndKeepTheOthers) {
    Testbed bed;
    for (const FakeUsbDevice& odd : {FakeUsbDevice{"1-5", "zz83", "5740", "A", {}},
                                     FakeUsbDevice{"1-6", "0483", "574000", "B", {}},
                                     FakeUsbDevice{"1-7", {}, "5740", "C", {}}})
        ASSERT_TRUE(bed.add(odd.description()));
    ASSERT_TRUE(bed.add(FakeUsbDevice{"1-9", "0483", "5740", QString(400, 'L'), {}}.description()));
    const auto devices = listed(bed);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].instanceId, "USB\\VID_0483&PID_5740\\1-9"); // serial too long
    EXPECT_TRUE(devices[0].serial.isEmpty());
}

} // namespace
} // namespace posflash
