#include "ports/usb_class.h"

#include "usb/usb_fixture.h"

#include <QString>

namespace posflash {
namespace {

using testing::FileSnapshot;
using testing::usbDevice;
using testing::UsbEngineTest;

constexpr auto kCdcPrinter = "USB\\VID_0483&PID_5740\\PRN0001";
constexpr auto kRawOnlyPrinter = "USB\\VID_0483&PID_5743\\PRN0002";

class UsbClassTest : public UsbEngineTest {};

// Which devices count

TEST_F(UsbClassTest, RawOnlyPrinterIsAUsbDeviceButNoComPort) {
    inventory.list = {usbDevice(kRawOnlyPrinter, {}, "/dev/usb/lp0")};
    EXPECT_TRUE(engine.usb.FindUsbDevice());
    EXPECT_FALSE(engine.usb.FindUsbComPort(false));
    EXPECT_FALSE(engine.usb.FindUsbComPort(true));
}

TEST_F(UsbClassTest, EveryKnownPairIsFoundAndOnlyTheCdcPairsAreComPorts) {
    const struct {
        const char* id;
        bool com;
    } cases[] = {{"USB\\VID_0483&PID_5740\\A", true},
                 {"USB\\VID_0483&PID_5743\\A", false},
                 {"USB\\VID_1FC9&PID_2014\\A", true},
                 {"USB\\VID_1FC9&PID_2016\\A", false}};
    for (const auto& c : cases) {
        inventory.list = {usbDevice(c.id, "/dev/ttyACM0", "/dev/ttyACM0")};
        EXPECT_TRUE(engine.usb.FindUsbDevice()) << c.id;
        EXPECT_EQ(engine.usb.FindUsbComPort(false), c.com) << c.id;
    }
}

TEST_F(UsbClassTest, UnknownPairsAndLowerCaseSpellingsAreIgnored) {
    inventory.list = {usbDevice("USB\\VID_0483&PID_5741\\PRN", "/dev/ttyACM0", "/dev/ttyACM0"),
                      usbDevice("USB\\VID_1D6B&PID_0002\\0000:00:14.0"),
                      usbDevice("USB\\vid_0483&pid_5740\\PRN", "/dev/ttyACM1", "/dev/ttyACM1"),
                      usbDevice("USB\\Vid_1fc9&Pid_2014\\PRN", "/dev/ttyACM2", "/dev/ttyACM2")};
    EXPECT_FALSE(engine.usb.FindUsbDevice());
    EXPECT_FALSE(engine.usb.FindUsbComPort(true));
    EXPECT_TRUE(engine.ports.UsbDevicePath.isEmpty());
    EXPECT_EQ(engine.portModel.comIndex(), 0);
}

TEST_F(UsbClassTest, UnreachableInventoryCountsAsNoDevice) {
    inventory.list = {usbDevice(kCdcPrinter, "/dev/ttyACM0", "/dev/ttyACM0")};
    inventory.reachable = false;
    EXPECT_FALSE(engine.usb.FindUsbDevice());
    EXPECT_FALSE(engine.usb.FindUsbComPort(true));
    EXPECT_TRUE(engine.ports.UsbDevicePath.isEmpty());
    EXPECT_EQ(engine.portModel.comIndex(), 0);
}

TEST_F(UsbClassTest, TheFirstDeviceInTheHostsOrderWinsNotTheFirstId) {
    // 1FC9:2014 comes after 0483:5740 in the id list, but first in the host's list.
    inventory.list = {usbDevice("USB\\VID_1FC9&PID_2014\\B", "/dev/ttyACM7", "/dev/ttyACM7"),
                      usbDevice(kCdcPrinter, "/dev/ttyACM0", "/dev/ttyACM0")};
    ASSERT_TRUE(engine.usb.FindUsbDevice());
    EXPECT_EQ(engine.ports.UsbDevicePath, "/dev/ttyACM7");
    ASSERT_TRUE(engine.usb.FindUsbComPort(true));
    EXPECT_EQ(comPorts.comNumberOf("/dev/ttyACM7"), engine.portModel.comIndex() + 1);
    EXPECT_EQ(comPorts.comNumberOf("/dev/ttyACM0"), 0);
}

// The get-port press

TEST_F(UsbClassTest, PresenceCheckAloneNeverTouchesTheComListOrAnyFile) {
    inventory.list = {usbDevice(kCdcPrinter, "/dev/ttyACM0", "/dev/ttyACM0")};
    EXPECT_TRUE(engine.usb.FindUsbComPort(false));
    EXPECT_EQ(engine.portModel.comIndex(), 0);
    EXPECT_FALSE(QFileInfo::exists(settingsPath()));
    EXPECT_FALSE(QFileInfo::exists(comPortsPath()));
}

TEST_F(UsbClassTest, NewCdcDeviceGetsTheNextFreeComNumberAndIsSelected) {
    comPorts.setMapping(3, "/dev/ttyUSB0");
    inventory.list = {usbDevice(kCdcPrinter, "/dev/ttyACM0", "/dev/ttyACM0")};
    ASSERT_TRUE(engine.usb.FindUsbComPort(true));
    EXPECT_EQ(comPorts.comNumberOf("/dev/ttyACM0"), 4);
    EXPECT_EQ(engine.portModel.comIndex(), 3);
    EXPECT_EQ(panel.comIndex, 3);
    EXPECT_EQ(engine.serial.CommPort(), 4);
    EXPECT_EQ(settings.GetIniString("SERIAL", "COM"), "3");
    EXPECT_EQ(panel.statusPanel, " COM4:115200,n,8,1");
}

TEST_F(UsbClassTest, MappedCdcDeviceKeepsTheNumberAUserGaveIt) {
    comPorts.setMapping(12, "/dev/ttyACM0");
    inventory.list = {usbDevice(kCdcPrinter, "/dev/ttyACM0", "/dev/ttyACM0")};
    ASSERT_TRUE(engine.usb.FindUsbComPort(true));
    EXPECT_EQ(engine.portModel.comIndex(), 11);
    EXPECT_EQ(comPorts.comNumberOf("/dev/ttyACM0"), 12);
}

TEST_F(UsbClassTest, RepeatedPressWritesNoFileAndDoesNotReselect) {
    inventory.list = {usbDevice(kCdcPrinter, "/dev/ttyACM0", "/dev/ttyACM0")};
    ASSERT_TRUE(engine.usb.FindUsbComPort(true));
    const FileSnapshot settingsBefore = FileSnapshot::of(settingsPath());
    const FileSnapshot mapBefore = FileSnapshot::of(comPortsPath());
    ASSERT_FALSE(settingsBefore.content.isEmpty());
    ASSERT_FALSE(mapBefore.content.isEmpty());
    const qsizetype statusWrites = panel.statusPanels.size();

    ASSERT_TRUE(engine.usb.FindUsbComPort(true));
    EXPECT_EQ(FileSnapshot::of(settingsPath()), settingsBefore);
    EXPECT_EQ(FileSnapshot::of(comPortsPath()), mapBefore);
    EXPECT_EQ(panel.statusPanels.size(), statusWrites); // the selection action did not run
}

TEST_F(UsbClassTest, PressReselectsWhenTheUserPickedAnotherPortMeanwhile) {
    inventory.list = {usbDevice(kCdcPrinter, "/dev/ttyACM0", "/dev/ttyACM0")};
    ASSERT_TRUE(engine.usb.FindUsbComPort(true));
    const int printerIndex = engine.portModel.comIndex();
    engine.portModel.selectComIndex(0);
    ASSERT_TRUE(engine.usb.FindUsbComPort(true));
    EXPECT_EQ(engine.portModel.comIndex(), printerIndex);
    EXPECT_EQ(settings.GetIniString("SERIAL", "COM"), QString::number(printerIndex));
}

TEST_F(UsbClassTest, CdcDeviceWithoutSerialNodeIsPresentButSelectsNothing) {
    inventory.list = {usbDevice(kCdcPrinter, {}, "/dev/usb/lp0")};
    EXPECT_TRUE(engine.usb.FindUsbComPort(true));
    EXPECT_EQ(engine.portModel.comIndex(), 0);
    EXPECT_FALSE(QFileInfo::exists(settingsPath()));
}

TEST_F(UsbClassTest, FullComMapLeavesTheListAlone) {
    for (int n = 1; n <= ComPortMap::kLastNumber; ++n)
        ASSERT_TRUE(comPorts.setMapping(n, QStringLiteral("/dev/ttyX%1").arg(n)));
    engine.portModel.selectComIndex(4);
    inventory.list = {usbDevice(kCdcPrinter, "/dev/ttyACM0", "/dev/ttyACM0")};
    EXPECT_TRUE(engine.usb.FindUsbComPort(true));
    EXPECT_EQ(engine.portModel.comIndex(), 4);
}

// The raw node

TEST_F(UsbClassTest, FoundDeviceSetsUsbDevicePathToItsRawNode) {
    inventory.list = {usbDevice(kRawOnlyPrinter, {}, "/dev/usb/lp3")};
    ASSERT_TRUE(engine.usb.FindUsbDevice());
    EXPECT_EQ(engine.ports.UsbDevicePath, "/dev/usb/lp3");
}

TEST_F(UsbClassTest, FailedPathLookupKeepsThePreviousPath) {
    inventory.list = {usbDevice(kRawOnlyPrinter, {}, "/dev/usb/lp3")};
    ASSERT_TRUE(engine.usb.FindUsbDevice());
    inventory.list = {usbDevice(kRawOnlyPrinter)}; // no raw node this time
    EXPECT_TRUE(engine.usb.FindUsbDevice());
    EXPECT_EQ(engine.ports.UsbDevicePath, "/dev/usb/lp3");
    inventory.list.clear();
    EXPECT_FALSE(engine.usb.FindUsbDevice());
    EXPECT_EQ(engine.ports.UsbDevicePath, "/dev/usb/lp3");
}

// The COM name a lookup gives back

TEST(ComNumberOfPortNameTest, AcceptsOnlyComOneToTwoHundredFiftyFive) {
    EXPECT_EQ(ComNumberOfPortName("COM1"), 1);
    EXPECT_EQ(ComNumberOfPortName("COM12"), 12);
    EXPECT_EQ(ComNumberOfPortName("COM255"), 255);
    for (const char* bad :
         {"", "COM", "COM0", "COM256", "COM1000", "COM99999999999", "com3", "Com3", "COM 3",
          "COM3 ", " COM3", "COM-3", "COM+3", "COMx", "COM3a", "LPT1", "COM\xef\xbc\x93"})
        EXPECT_EQ(ComNumberOfPortName(QString::fromUtf8(bad)), std::nullopt) << bad;
}

} // namespace
} // namespace posflash
