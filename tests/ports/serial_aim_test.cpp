#include "base/faces.h"
#include "ports/serial_aim.h"

#include <QMap>

#include <gtest/gtest.h>

#include <cerrno>

namespace posflash {
namespace {

// Which node a download goes to, decided from what the user named and what the host has.
TEST(SerialAimTest, EachWayOfNamingAPrinterLeadsToOneNodeAndNumberOrARefusal) {
    const SerialHost host{
        {{"USB\\VID_0519&PID_2013\\A1", "/dev/ttyACM0", "/dev/usb/lp0", "0519", "2013", "A1",
          "1-2"},
         {"USB\\VID_0519&PID_2013\\1-3", "", "/dev/usb/lp1", "0519", "2013", "", "1-3"}},
        [](const QString& node) { return node.startsWith("/dev/tty"); },
        [](const QString& node) {
            return QMap<QString, int>{{"/dev/ttyACM0", 3}}.value(node);
        },
        [](int number) { return number == 3 ? QStringLiteral("/dev/ttyACM0") : QString(); }};
    // clang-format off
    const struct { const char* what; Printer target; const char* node; int number; const char* usbPath; const char* serial; bool refused; int code; } cases[] = {
        {"mapped COM number",    {3, "", ""},             "/dev/ttyACM0", 3, "1-2", "A1", false, 0},
        {"unmapped COM number",  {9, "", ""},             "",             9, "",    "",   false, 0},
        {"mapped node",          {0, "/dev/ttyACM0", ""}, "/dev/ttyACM0", 3, "1-2", "A1", false, 0},
        {"node to be numbered",  {0, "/dev/ttyUSB4", ""}, "/dev/ttyUSB4", 0, "",    "",   false, 0},
        {"missing node",         {0, "/dev/nothing", ""}, "",             0, "",    "",   true, ENOENT},
        {"USB path",             {0, "", "1-2"},          "/dev/ttyACM0", 3, "1-2", "A1", false, 0},
        {"USB path, no tty",     {0, "", "1-3"},          "",             0, "",    "",   true, 0},
        {"unknown USB path",     {0, "", "9-9"},          "",             0, "",    "",   true, 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const Result<Printer> aim = AimSerial(c.target, host, Faces());
        if (c.refused) {
            ASSERT_FALSE(aim);
            EXPECT_TRUE(aim.error().is(ErrorDomain::Ports, c.code));
            EXPECT_FALSE(aim.error().text.isEmpty());
            continue;
        }
        ASSERT_TRUE(aim) << aim.error().text.toStdString();
        EXPECT_EQ(aim->node, c.node);
        EXPECT_EQ(aim->comNumber, c.number);
        EXPECT_EQ(aim->usbPath, c.usbPath);
        EXPECT_EQ(aim->usbSerial, c.serial);
    }
}

} // namespace
} // namespace posflash
