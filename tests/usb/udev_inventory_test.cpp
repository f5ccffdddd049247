#include "ports/usb_inventory_linux.h"

#include "usb/umockdev_testbed.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

using testing::FakeUsbDevice;
using testing::Testbed;

const FakeUsbDevice kCdcPrinter{"1-1", "0483", "5740", "PRN0001", {{"02", "tty", "ttyACM0"}}};

std::vector<UsbDeviceEntry> listed(const UdevUsbInventory& inventory) {
    const auto devices = inventory.devices();
    EXPECT_TRUE(devices.has_value());
    return devices.value_or(std::vector<UsbDeviceEntry>{});
}

const UsbDeviceEntry* byId(const std::vector<UsbDeviceEntry>& devices, const QString& id) {
    for (const UsbDeviceEntry& device : devices)
        if (device.instanceId == id)
            return &device;
    return nullptr;
}

TEST(UdevUsbInventoryTest, EmptyBusIsAnEmptyListNotAnUnreachableInventory) {
    Testbed bed;
    UdevUsbInventory inventory;
    const auto devices = inventory.devices();
    ASSERT_TRUE(devices.has_value());
    EXPECT_TRUE(devices->empty());
}

TEST(UdevUsbInventoryTest, CdcPrinterIsNamedWithItsSerialAndItsTtyServesBothWays) {
    Testbed bed;
    ASSERT_TRUE(bed.add(kCdcPrinter.description()));
    UdevUsbInventory inventory;
    const auto devices = listed(inventory);
    ASSERT_EQ(devices.size(), 1u); // interfaces and the tty are no devices of their own
    EXPECT_EQ(devices[0].instanceId, "USB\\VID_0483&PID_5740\\PRN0001");
    EXPECT_EQ(devices[0].serialNode, "/dev/ttyACM0");
    EXPECT_EQ(devices[0].rawNode, "/dev/ttyACM0");
}

TEST(UdevUsbInventoryTest, PrinterClassNodeIsTheRawNodeAndOtherMiscNodesAreNot) {
    Testbed bed;
    ASSERT_TRUE(bed.add(FakeUsbDevice{
        "1-2",
        "0483",
        "5743",
        "",
        {{"03", "usbmisc", "usb/hiddev0"}, {"02", "tty", "ttyACM1"}, {"07", "usbmisc", "usb/lp0"}}}
                            .description()));
    ASSERT_TRUE(bed.add(FakeUsbDevice{
        "1-3", "1fc9", "2016", "", {{"03", "usbmisc", "usb/hiddev1"}, {"02", "tty", "ttyACM2"}}}
                            .description()));
    UdevUsbInventory inventory;
    const auto devices = listed(inventory);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].instanceId, "USB\\VID_0483&PID_5743\\1-2"); // no serial: the bus path
    EXPECT_EQ(devices[0].serialNode, "/dev/ttyACM1");
    EXPECT_EQ(devices[0].rawNode, "/dev/usb/lp0");
    EXPECT_EQ(devices[1].instanceId, "USB\\VID_1FC9&PID_2016\\1-3"); // upper-case hex
    EXPECT_EQ(devices[1].rawNode, "/dev/ttyACM2");
}

TEST(UdevUsbInventoryTest, DeviceWithoutNodesIsListedWithoutNodes) {
    Testbed bed;
    ASSERT_TRUE(bed.add(FakeUsbDevice{"1-4", "0483", "5743", "X", {{"07", "", ""}}}.description()));
    UdevUsbInventory inventory;
    const auto devices = listed(inventory);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_TRUE(devices[0].serialNode.isEmpty());
    EXPECT_TRUE(devices[0].rawNode.isEmpty());
}

TEST(UdevUsbInventoryTest, OddAttributesLeaveThatDeviceOutAndKeepTheOthers) {
    Testbed bed;
    ASSERT_TRUE(bed.add(FakeUsbDevice{"1-5", "zz83", "5740", "A", {}}.description()));
    ASSERT_TRUE(bed.add(FakeUsbDevice{"1-6", "0483", "574000", "B", {}}.description()));
    ASSERT_TRUE(bed.add(FakeUsbDevice{"1-7", {}, "5740", "C", {}}.description()));
    ASSERT_TRUE(bed.add(FakeUsbDevice{"1-8", "0483", {}, "D", {}}.description()));
    ASSERT_TRUE(bed.add(kCdcPrinter.description()));
    ASSERT_TRUE(bed.add(FakeUsbDevice{"1-9", "0483", "5740", QString(400, 'L'), {}}.description()));
    UdevUsbInventory inventory;
    const auto devices = listed(inventory);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_NE(byId(devices, "USB\\VID_0483&PID_5740\\PRN0001"), nullptr);
    EXPECT_NE(byId(devices, "USB\\VID_0483&PID_5740\\1-9"), nullptr); // serial too long
}

TEST(UdevUsbInventoryTest, UnpluggedDeviceIsGoneFromTheNextList) {
    Testbed bed;
    ASSERT_TRUE(bed.add(kCdcPrinter.description()));
    UdevUsbInventory inventory;
    ASSERT_EQ(listed(inventory).size(), 1u);
    bed.unplug(kCdcPrinter.syspath());
    EXPECT_TRUE(listed(inventory).empty());
}

} // namespace
} // namespace posflash
