#include "ports/usb_hotplug.h"
#include "ports/usb_inventory_linux.h"

#include "ports/usb_fixture.h"
#include "support/umockdev_testbed.h"

#include <QSignalSpy>

namespace posflash {
namespace {

using testing::FakeUsbDevice;
using testing::FileSnapshot;
using testing::RecordingPanel;
using testing::Testbed;

const FakeUsbDevice kCdcPrinter{"1-1", "0483", "5740", "PRN0001", {{"02", "tty", "ttyACM0"}}};

// The ports layer over the host's inventory, the host being a umockdev test bed.
class UdevDiscoveryTest : public ::testing::Test {
protected:
    UdevDiscoveryTest()
        : settings(dir.filePath("sys_config.ini")), comPorts(dir.filePath("comports.ini")),
          ports(panel, settings, comPorts, inventory) {
        ports.portModel().setBaudIndex(7);
    }

    Testbed bed;
    QTemporaryDir dir;
    RecordingPanel panel;
    IniStore settings;
    ComPortMap comPorts;
    UdevUsbInventory inventory;
    testing::PortLayer ports;
};

TEST_F(UdevDiscoveryTest, RawOnlyPrinterIsFoundAsDeviceButNotAsComPort) {
    ASSERT_TRUE(bed.add(
        FakeUsbDevice{"1-2", "0483", "5743", "P", {{"07", "usbmisc", "usb/lp0"}}}.description()));
    EXPECT_FALSE(ports.usb().FindUsbComPort(false));
    ASSERT_TRUE(ports.usb().FindUsbDevice());
    EXPECT_EQ(ports.usb().UsbDevicePath(), "/dev/usb/lp0");
}

TEST_F(UdevDiscoveryTest, GetPortSelectsThePrintersComNumberOnceAndOnlyOnce) {
    ASSERT_TRUE(bed.add(
        FakeUsbDevice{"1-4", "0483", "5741", "X", {{"02", "tty", "ttyACM1"}}}.description()));
    ASSERT_TRUE(bed.add(kCdcPrinter.description()));
    ASSERT_TRUE(ports.usb().FindUsbComPort(true));
    EXPECT_EQ(comPorts.comNumberOf("/dev/ttyACM0"), 3); // COM1 and COM2 are the on-board ports
    EXPECT_EQ(panel.comIndex, 2);
    EXPECT_EQ(settings.GetIniString("SERIAL", "COM"), "2");

    const FileSnapshot settingsBefore = FileSnapshot::of(settings.fileName());
    const FileSnapshot mapBefore = FileSnapshot::of(comPorts.fileName());
    ASSERT_TRUE(ports.usb().FindUsbComPort(true));
    EXPECT_EQ(FileSnapshot::of(settings.fileName()), settingsBefore);
    EXPECT_EQ(FileSnapshot::of(comPorts.fileName()), mapBefore);
}

} // namespace
} // namespace posflash
