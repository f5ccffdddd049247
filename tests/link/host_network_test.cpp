#include "link/host_network.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

TEST(HostHelpers, LocalAddressPrefersTheFirstEthernetInterface) {
    EXPECT_EQ(ChooseLocalIpAddress({{false, "127.0.0.1"}, {true, "10.1.1.5"}, {true, "10.2.2.2"}}),
              "10.1.1.5");
    EXPECT_EQ(ChooseLocalIpAddress({{false, "127.0.0.1"}, {false, "172.16.0.9"}}), "172.16.0.9");
    EXPECT_EQ(ChooseLocalIpAddress({{true, ""}}), "0.0.0.0");
    EXPECT_EQ(ChooseLocalIpAddress({}), "");
}

TEST(HostHelpers, ArpRowsMatchTheWholeAddressText) {
    const QString table =
        "IP address       HW type     Flags       HW address            Mask     Device\n"
        "192.168.123.10   0x1         0x2         00:11:22:33:44:55     *        eth1\n"
        "192.168.123.100  0x1         0x2         00:11:22:33:44:66     *        eth0\n";
    EXPECT_EQ(ArpInterfaceFor(table, "192.168.123.100"), "eth0");
    EXPECT_EQ(ArpInterfaceFor(table, "192.168.123.1"), "");
    EXPECT_EQ(ArpInterfaceFor("garbage", "1.2.3.4"), "");
}

} // namespace
} // namespace posflash
