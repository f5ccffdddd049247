#include "ports/named_usb_device.h"
#include "ports/usb_class.h"
#include "support/fake_usb_inventory.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(NamedUsbDevice, CountsAsAKnownComPrinterWhileItsNodeExists) {
    QTemporaryDir dir;
    const QString node = dir.filePath("printer-tty");
    testing::FakeUsbInventory host;
    host.reachable = false; // an unreachable host inventory must not hide it
    NamedUsbDeviceInventory named(host, node);
    EXPECT_TRUE(named.devices()->empty());

    QFile f(node);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    auto found = FindKnownDevice(*named.devices(), KnownUsbComIds());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->serialNode, node);

    // The named device comes before a printer the host reports: the user chose it.
    host.reachable = true;
    host.list = {{"USB\\VID_0483&PID_5740\\OTHER", "/dev/ttyACM7", "/dev/ttyACM7"}};
    found = FindKnownDevice(*named.devices(), KnownUsbComIds());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->serialNode, node);
    EXPECT_EQ(named.devices()->size(), 2u);
}

} // namespace
} // namespace posflash
