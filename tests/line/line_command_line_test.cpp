#include "line/line_command_line.h"
#include "support/program_image.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace posflash::testing {
namespace {

// The command line's choices: what they start with, and what they refuse in words.
TEST(LineCommandLineTest, ReadsTheShiftOrSaysWhatIsWrong) {
    QTemporaryDir dir;
    const QString file = dir.filePath("fw.bin");
    WriteProgramImage(file, 1024);
    // error: a part of the message; nullptr: accepted
    // clang-format off
    struct Case { QStringList args; const char* error; int slotCount; int retries; };
    const Case cases[] = {
        {{"--image", file, "--port", "COM3", "--port", "/dev/ttyUSB0", "--operator", "Li", "--start"}, nullptr, 2, 1},
        {{"--image", file, "--ip", "10.0.0.5", "--mac", "00-11-22-33-44-55", "--ip", "10.0.0.6", "--operator", "Li", "--retries", "10", "--records", "postgresql://u@db/line", "--start"}, nullptr, 2, 10},
        {{"--image", file, "--usb-path", "1-1.1", "--usb-path", "1-1.2", "--serial-prefix", "SN"}, nullptr, 2, 1},
        {{"--image", file, "--port", "COM3", "--start"}, "operator", 1, 1},
        {{"--image", file, "--operator", "Li", "--start"}, "slot", 0, 1},
        {{"--image", dir.filePath("none.bin"), "--port", "COM3", "--operator", "Li", "--start"}, "cannot be found", 1, 1},
        {{"--port", "COM3", "--retries", "11"}, "--retries wants 0 to 10", 1, 1},
        {{"--ip", "10.0.0.5", "--mac", "00-11-22-33-44-55", "--mac", "00-11-22-33-44-56"}, "--mac", 1, 1},
        {{"--ip", "10.0.0.256", "--mac", "00-11-22-33-44-55"}, "--ip 10.0.0.256 is not an address", 1, 1},
        {{"--port", "COM3", "--out", "codes.html"}, "--out goes with --print-slot-codes", 1, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        LineCommandLine line;
        QCommandLineParser parser;
        line.addTo(parser);
        ASSERT_TRUE(parser.parse(QStringList{"posflash", "--line"} + c.args));
        const auto read = line.read(parser, LineSettings{});
        if (c.error) {
            ASSERT_FALSE(read.ok());
            EXPECT_TRUE(read.error().text.contains(c.error)) << read.error().text.toStdString();
            continue;
        }
        ASSERT_TRUE(read.ok()) << read.error().text.toStdString();
        EXPECT_EQ(read->settings.slotCount(), c.slotCount);
        EXPECT_EQ(read->settings.retries, c.retries);
    }
}

} // namespace
} // namespace posflash::testing
