#include "app/frm_boot.h"
#include "ports/usb_hotplug.h"
#include "ports/usb_inventory_linux.h"

#include "ports/usb_fixture.h"
#include "support/test_files.h"
#include "support/umockdev_testbed.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace posflash {
namespace {

using testing::FakeUsbDevice;
using testing::Testbed;

const FakeUsbDevice kCdcPrinter{"1-1", "0483", "5740", "PRN0001", {{"02", "tty", "ttyACM0"}}};

// The real window over the host's inventory, the host being a umockdev test bed.
TEST(UdevWindowTest, LinkIconFollowsThePrinterAndGetPortSelectsItsComNumber) {
    Testbed bed;
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    testing::WriteFile(config.filePath("posflash/sys_config.ini"),
                       "[MSG]\nfirst=false\n[SERIAL]\nCOM=9\n[PORT]\nComboPort=1\n");

    WindowHost host = WindowHost::system();
    QStringList tips;
    host.tipsBox = [&](QWidget*, const QString& prompt, int) { tips << prompt; };
    host.applicationFolder = config.path();
    host.serialPorts = [] { return QStringList{}; };
    UdevUsbInventory inventory;
    frmBoot window(inventory, host);
    auto* grey = window.findChild<QWidget*>("imgBootStatus_0");
    auto* green = window.findChild<QWidget*>("imgBootStatus_1");
    auto* comList = window.findChild<QComboBox*>("ComboSerialSelect");
    ASSERT_TRUE(grey && green && comList);
    ASSERT_TRUE(window.hotplug().isActive());
    EXPECT_TRUE(green->isHidden());
    EXPECT_EQ(comList->currentIndex(), 9);

    QSignalSpy changes(&window.hotplug(), &UsbHotplugMonitor::devicesChanged);
    ASSERT_TRUE(bed.add(kCdcPrinter.description()));
    ASSERT_TRUE(changes.wait(5000));
    EXPECT_FALSE(green->isHidden()); // at once, not at the next clock tick
    EXPECT_TRUE(grey->isHidden());

    window.findChild<QPushButton*>("cmdGetComPort")->click();
    EXPECT_EQ(comList->currentIndex(), 2); // the printer's node got COM3
    EXPECT_EQ(window.engine().serialComNumber(), 3);

    bed.unplug(kCdcPrinter.syspath());
    ASSERT_TRUE(changes.wait(5000));
    EXPECT_TRUE(green->isHidden());
    EXPECT_FALSE(grey->isHidden());
    EXPECT_TRUE(tips.isEmpty());
}

} // namespace
} // namespace posflash
