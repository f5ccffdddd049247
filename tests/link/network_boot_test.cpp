#include "base/faces.h"
#include "link/network_boot.h"
#include "link/shared_boot_ports.h"

#include <gtest/gtest.h>

namespace posflash {
namespace {

// The BOOTP answer holds 128 bytes of file name; a longer name (counted in bytes, not
// characters) is refused before a port is bound or a BOOTP request answered.
TEST(NetworkBoot, AFileNameOver128BytesIsRefusedBeforeAnythingIsBound) {
    Faces faces;
    // Free port numbers stand in for 67 and 69, so a name that fits binds nothing here either.
    SharedBootPorts ports;
    ports.bind(0, 0);
    ASSERT_FALSE(ports.refusal());
    const struct {
        QString path;
        bool fits;
    } cases[] = {
        {"/images/" + QString(124, 'a') + ".bin", true},
        {"C:\\images\\" + QString(125, 'a') + ".bin", false},
        {QString(42, QChar(0x5B57)) + "ab", true}, // 42 × 3 bytes in UTF-8, and 2
        {QString(43, QChar(0x5B57)), false},
    };
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
        EXPECT_EQ(started.error().code, NetworkBoot::kFileNameTooLong);
        EXPECT_EQ(boot.linkLocalPort(), 0);
    }
}

} // namespace
} // namespace posflash
