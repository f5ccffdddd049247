#include "ports/named_usb_device.h"
#include "ports/printer_usb.h"
#include "support/fake_usb_inventory.h"
#include "support/test_files.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(NamedUsbDevice, CountsWhileItsNodeExistsAndComesBeforeThePrintersTheHostReports) {
    QTemporaryDir dir;
    const QString node = dir.filePath("printer-tty");
    testing::FakeUsbInventory host;
    host.list = {{"USB\\VID_0483&PID_5740\\OTHER", "/dev/ttyACM7", "/dev/ttyACM7"}};
    NamedUsbDeviceInventory named(host, node);
    EXPECT_EQ(named.devices()->size(), 1u);

    testing::WriteFile(node, {});
    EXPECT_EQ(named.devices()->size(), 2u);
    const auto found = FindKnownDevice(*named.devices(), KnownUsbComIds());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->serialNode, node); // the user chose it
}

} // namespace
} // namespace posflash
