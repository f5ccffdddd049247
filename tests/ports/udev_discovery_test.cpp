#include "ports/usb_inventory_linux.h"

#include "ports/usb_fixture.h"
#include "support/umockdev_testbed.h"

namespace posflash {
namespace {

using testing::FakeUsbDevice;
using testing::FileSnapshot;

// USB discovery over the host's inventory, the host being a umockdev test bed.
class UdevDiscoveryTest : public ::testing::Test {
protected:
    testing::Testbed bed;
    QTemporaryDir dir;
    ComPortMap comPorts{dir.filePath("comports.ini")};
    UdevUsbInventory inventory;
    PrinterUsb usb{inventory, comPorts};
};

TEST_F(UdevDiscoveryTest, RawOnlyPrinterIsFoundAsDeviceButNotAsComPort) {
    ASSERT_TRUE(bed.add(
        FakeUsbDevice{"1-2", "0483", "5743", "P", {{"07", "usbmisc", "usb/lp0"}}}.description()));
    EXPECT_FALSE(usb.printerComPresent());
    ASSERT_TRUE(usb.findPrinterDevice());
    EXPECT_EQ(usb.rawDevicePath(), "/dev/usb/lp0");
}

TEST_F(UdevDiscoveryTest, ThePrintersComNumberIsAssignedOnceAndNotWrittenAgain) {
    ASSERT_TRUE(bed.add(
        FakeUsbDevice{"1-4", "0483", "5741", "X", {{"02", "tty", "ttyACM1"}}}.description()));
    ASSERT_TRUE(bed.add(
        FakeUsbDevice{"1-1", "0483", "5740", "PRN0001", {{"02", "tty", "ttyACM0"}}}.description()));
    EXPECT_EQ(usb.printerComNumber(), 3); // COM1 and COM2 are the on-board ports
    EXPECT_EQ(comPorts.comNumberOf("/dev/ttyACM0"), 3);
    const FileSnapshot before = FileSnapshot::of(comPorts.fileName());
    EXPECT_EQ(usb.printerComNumber(), 3);
    EXPECT_EQ(FileSnapshot::of(comPorts.fileName()), before);
}

} // namespace
} // namespace posflash
