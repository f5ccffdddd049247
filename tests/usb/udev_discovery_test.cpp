#include "ports/usb_hotplug.h"
#include "ports/usb_inventory_linux.h"

#include "download/engine.h"
#include "ports/com_port_map.h"
#include "ports/ini_store.h"
#include "support/recording_panel.h"
#include "usb/umockdev_testbed.h"
#include "usb/usb_fixture.h"

#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

namespace posflash {
namespace {

using testing::FakeUsbDevice;
using testing::FileSnapshot;
using testing::RecordingPanel;
using testing::Testbed;

const FakeUsbDevice kCdcPrinter{"1-1", "0483", "5740", "PRN0001", {{"02", "tty", "ttyACM0"}}};
const FakeUsbDevice kRawPrinter{
    "1-2", "0483", "5743", "PRN0002", {{"07", "usbmisc", "usb/lp0", true}}};
const FakeUsbDevice kHub{"1-3", "05e3", "0608", "", {{"09", "", ""}}};
const FakeUsbDevice kUnknownCdc{"1-4", "0483", "5741", "X", {{"02", "tty", "ttyACM1"}}};

Bytes readAvailable(int fd, std::size_t n) {
    Bytes out;
    while (out.size() < n) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0)
            break;
        std::uint8_t buf[256];
        const ssize_t got = ::read(fd, buf, sizeof buf);
        if (got <= 0)
            break;
        out.insert(out.end(), buf, buf + got);
    }
    return out;
}

// The engine over the host's inventory, the host being a umockdev test bed.
class UdevDiscoveryTest : public ::testing::Test {
protected:
    UdevDiscoveryTest()
        : settings(dir.filePath("sys_config.ini")), comPorts(dir.filePath("comports.ini")),
          engine(panel, settings, comPorts, inventory) {
        engine.portModel.setBaudIndex(7);
    }

    Testbed bed; // first: the inventory and the monitor must see the fake host
    QTemporaryDir dir;
    RecordingPanel panel;
    IniStore settings;
    ComPortMap comPorts;
    UdevUsbInventory inventory;
    Engine engine;
};

TEST_F(UdevDiscoveryTest, RawOnlyPrinterIsFoundAsDeviceButNotAsComPort) {
    ASSERT_TRUE(bed.add(kHub.description()));
    ASSERT_TRUE(bed.add(kRawPrinter.description()));
    EXPECT_FALSE(engine.usb.FindUsbComPort(false));
    ASSERT_TRUE(engine.usb.FindUsbDevice());
    EXPECT_EQ(engine.ports.UsbDevicePath, "/dev/usb/lp0");
}

TEST_F(UdevDiscoveryTest, UnknownPairIsIgnored) {
    ASSERT_TRUE(bed.add(kHub.description()));
    ASSERT_TRUE(bed.add(kUnknownCdc.description()));
    EXPECT_FALSE(engine.usb.FindUsbDevice());
    EXPECT_FALSE(engine.usb.FindUsbComPort(true));
    EXPECT_FALSE(QFileInfo::exists(comPorts.fileName()));
}

TEST_F(UdevDiscoveryTest, GetPortSelectsThePrintersComNumberOnceAndOnlyOnce) {
    ASSERT_TRUE(bed.add(kUnknownCdc.description()));
    ASSERT_TRUE(bed.add(kCdcPrinter.description()));
    ASSERT_TRUE(engine.usb.FindUsbComPort(true));
    EXPECT_EQ(comPorts.comNumberOf("/dev/ttyACM0"), 3); // COM1 and COM2 are the on-board ports
    EXPECT_EQ(engine.portModel.comIndex(), 2);
    EXPECT_EQ(panel.comIndex, 2);
    EXPECT_EQ(settings.GetIniString("SERIAL", "COM"), "2");

    const FileSnapshot settingsBefore = FileSnapshot::of(settings.fileName());
    const FileSnapshot mapBefore = FileSnapshot::of(comPorts.fileName());
    ASSERT_TRUE(engine.usb.FindUsbComPort(true));
    EXPECT_EQ(FileSnapshot::of(settings.fileName()), settingsBefore);
    EXPECT_EQ(FileSnapshot::of(comPorts.fileName()), mapBefore);
}

TEST_F(UdevDiscoveryTest, BootCommandBytesReachThePrinterNodeUnchanged) {
    ASSERT_TRUE(bed.add(kRawPrinter.description()));
    const int printerEnd = bed.deviceEnd("/dev/usb/lp0");
    ASSERT_GE(printerEnd, 0);
    engine.portModel.optPortSelect_Click(1);
    engine.ports.AppToBootActive = true;
    const Bytes command{0x1F, 0x1B, 0x1C, 0x0A, 0x0D, 0x11, 0x13, 0x03, 0x04, 0x7F, 0xFF};
    ASSERT_TRUE(engine.portModel.PortSendData(command));
    EXPECT_EQ(readAvailable(printerEnd, command.size()), command);
}

TEST_F(UdevDiscoveryTest, UnpluggingSignalsAtOnceAndTheLinkIconTurnsGrey) {
    UsbHotplugMonitor monitor;
    ASSERT_TRUE(monitor.isActive());
    // The window's wiring: every change runs the presence check behind the link icon.
    QObject::connect(&monitor, &UsbHotplugMonitor::devicesChanged, [this] {
        engine.driver.imgBootStatusSelect(engine.usb.FindUsbComPort(false) ? 1 : 0);
    });
    QSignalSpy changes(&monitor, &UsbHotplugMonitor::devicesChanged);

    ASSERT_TRUE(bed.add(kCdcPrinter.description()));
    ASSERT_TRUE(changes.wait(5000));
    EXPECT_EQ(panel.bootImage, 1);

    changes.clear();
    bed.unplug(kCdcPrinter.syspath());
    ASSERT_TRUE(changes.wait(5000));
    EXPECT_FALSE(engine.usb.FindUsbComPort(false));
    EXPECT_EQ(panel.bootImage, 0);
}

} // namespace
} // namespace posflash
