#include "ports/hotplug_usb_inventory.h"

#include "support/umockdev_testbed.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace posflash {
namespace {

using testing::FakeUsbDevice;
using testing::Testbed;

const FakeUsbDevice kPrinter{"1-1", "0483", "5740", "PRN0001", {{"02", "tty", "ttyACM0"}}};
const FakeUsbDevice kSecond{"1-2", "0483", "5743", "", {{"07", "usbmisc", "usb/lp0"}}};

QStringList idsOf(const std::optional<std::vector<UsbDeviceEntry>>& devices) {
    QStringList ids;
    for (const UsbDeviceEntry& device : devices.value_or(std::vector<UsbDeviceEntry>{}))
        ids << device.instanceId;
    return ids;
}

TEST(HotplugUsbInventoryTest, AnswersFromItsListUntilTheHostReportsAChange) {
    Testbed bed;
    ASSERT_TRUE(bed.add(kPrinter.description()));
    HotplugUsbInventory inventory;
    ASSERT_TRUE(inventory.monitor().isActive());
    EXPECT_EQ(idsOf(inventory.devices()), QStringList{"USB\\VID_0483&PID_5740\\PRN0001"});

    // Changed in sysfs but not announced: a fresh scan sees it, the kept list does not.
    bed.setAttribute(kPrinter.syspath(), "serial", "PRN0002");
    EXPECT_EQ(idsOf(UdevUsbInventory().devices()), QStringList{"USB\\VID_0483&PID_5740\\PRN0002"});
    EXPECT_EQ(idsOf(inventory.devices()), QStringList{"USB\\VID_0483&PID_5740\\PRN0001"});

    // Announced: the very next check answers anew, before any event loop has run.
    bed.sendEvent(kPrinter.syspath(), "change");
    EXPECT_EQ(idsOf(inventory.devices()), QStringList{"USB\\VID_0483&PID_5740\\PRN0002"});

    ASSERT_TRUE(bed.add(kSecond.description()));
    EXPECT_EQ(idsOf(inventory.devices()),
              (QStringList{"USB\\VID_0483&PID_5740\\PRN0002", "USB\\VID_0483&PID_5743\\1-2"}));
    bed.unplug(kPrinter.syspath());
    EXPECT_EQ(idsOf(inventory.devices()), QStringList{"USB\\VID_0483&PID_5743\\1-2"});
}

TEST(HotplugUsbInventoryTest, ChangeReadByACheckIsStillSignalledOnTheEventLoop) {
    Testbed bed;
    HotplugUsbInventory inventory;
    QSignalSpy changes(&inventory.monitor(), &UsbHotplugMonitor::devicesChanged);
    ASSERT_TRUE(bed.add(kPrinter.description()));
    EXPECT_EQ(inventory.devices()->size(), 1u); // reads the event off the socket
    EXPECT_TRUE(changes.empty());
    ASSERT_TRUE(changes.wait(5000));
    EXPECT_EQ(changes.size(), 1);
}

} // namespace
} // namespace posflash
