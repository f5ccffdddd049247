#include "base/faces.h"
#include "link/network_boot.h"
#include "link/shared_boot_ports.h"
#include "protocol/address_text.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

// The BOOTP answer holds a 128-byte file name: a longer one (in bytes) is refused before a bind.
TEST(NetworkBoot, AFileNameOver128BytesIsRefusedBeforeAnythingIsBound) {
    Faces faces;
    // Free port numbers stand in for 67 and 69, so a name that fits binds nothing here either.
    SharedBootPorts ports;
    ports.bind(0, 0, {});
    ASSERT_FALSE(ports.refusal());
    // clang-format off
    const struct { QString path; bool fits; } cases[] = {
        {"/images/" + QString(124, 'a') + ".bin", true},
        {"C:\\images\\" + QString(125, 'a') + ".bin", false},
        {QString(42, QChar(0x5B57)) + "ab", true}, // 42 × 3 bytes in UTF-8, and 2
        {QString(43, QChar(0x5B57)), false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        NetworkBoot boot(faces);
        ASSERT_TRUE(boot.setPrinter("127.0.0.1", "00-11-22-33-44-55"));
        if (c.fits) {
            boot.shareBootPorts(&ports);
            EXPECT_TRUE(boot.startLink(c.path));
            boot.close();
            continue;
        }
        const Status started = boot.startLink(c.path);
        ASSERT_FALSE(started);
        EXPECT_TRUE(started.error().is(ErrorDomain::Network, NetworkBoot::kFileNameTooLong));
        EXPECT_EQ(boot.linkLocalPort(), 0);
    }
}

// Each part of an address is decimal: the printer that may acknowledge is the one the BOOTP
// answer names, "010" included (read as octal, it was another printer, or none at all).
TEST(NetworkBoot, LeadingZerosNameTheSamePrinterInTheAnswerAndTheFilter) {
    Faces faces;
    // clang-format off
    const struct { QString typed; QString printer; } cases[] = {
        {"010.077.000.002", "10.77.0.2"},
        {"10.77.0.010",     "10.77.0.10"},
        {"192.168.010.099", "192.168.10.99"},
        {"192.168.1.50",    "192.168.1.50"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        NetworkBoot boot(faces);
        ASSERT_TRUE(boot.setPrinter(c.typed, "00-11-22-33-44-55"));
        EXPECT_EQ(boot.printerIp().toStdString(), c.printer.toStdString());
        const auto& ip = boot.config().printerIp;
        EXPECT_EQ(BytesToDottedIp(ip.data(), 4).toStdString(), c.printer.toStdString());
    }
}

} // namespace
} // namespace posflash
