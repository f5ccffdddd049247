#include "ports/usb_output.h"

#include "ports/usb_fixture.h"
#include "support/pty_pair.h"

#include <deque>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace posflash {
namespace {

using testing::PtyPair;
using testing::UsbPortsTest;

constexpr std::ptrdiff_t kAll = -2;

// File calls whose writes do what the script says; every call is remembered.
class ScriptedFiles : public DeviceFileOps {
public:
    int open(const QString& path) override {
        opened.push_back(path);
        return nextFd++;
    }
    std::ptrdiff_t write(int fd, ByteView bytes) override {
        writeFds.push_back(fd);
        writeSizes.push_back(bytes.size());
        std::ptrdiff_t result = script.empty() ? kAll : script.front();
        if (!script.empty())
            script.pop_front();
        if (result == kAll)
            result = static_cast<std::ptrdiff_t>(bytes.size());
        if (result > 0)
            received.insert(received.end(), bytes.begin(), bytes.begin() + result);
        return result;
    }
    void close(int fd) override { closed.push_back(fd); }

    std::deque<std::ptrdiff_t> script; // results of the next writes; kAll writes everything
    int nextFd = 5;
    std::vector<QString> opened;
    std::vector<int> writeFds;
    std::vector<std::size_t> writeSizes;
    std::vector<int> closed;
    Bytes received;
};

Bytes pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

class UsbOutputTest : public UsbPortsTest {
protected:
    UsbOutputTest() {
        inventory.list = {UsbDeviceEntry{"USB\\VID_0483&PID_5743\\PRN", {}, "/dev/usb/lp0"}};
    }
    ScriptedFiles files;
    UsbOutput output{usb, files};
};

// At most 8192 bytes a write; after a short or failed one (which reopens), only what did not go.
TEST_F(UsbOutputTest, TenThousandBytesGoOutAs8192Then1808WhateverEachWriteTakes) {
    // clang-format off
    const struct { const char* name; std::deque<std::ptrdiff_t> script; std::vector<std::size_t> sizes; std::vector<int> fds; std::vector<int> closed; } cases[] = {
        {"every write takes all", {}, {8192, 1808}, {5, 5}, {}},
        {"a short write", {100}, {8192, 8192, 1708}, {5, 5, 5}, {}},
        {"a failed write", {8192, -1}, {8192, 1808, 1808}, {5, 5, 6}, {5}},
    };
    // clang-format on
    const Bytes data = pattern(10000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedFiles scripted;
        scripted.script = c.script;
        UsbOutput sender{usb, scripted};
        ASSERT_TRUE(sender.send(data));
        EXPECT_EQ(scripted.writeSizes, c.sizes);
        EXPECT_EQ(scripted.received, data); // neither the front resent nor the tail dropped
        EXPECT_EQ(scripted.writeFds, c.fds);
        EXPECT_EQ(scripted.closed, c.closed);
        EXPECT_EQ(scripted.opened.front(), "/dev/usb/lp0");
    }
}

TEST_F(UsbOutputTest, FailedOrEmptyWritesGiveUpAfterFourAttempts) {
    files.script = {-1, 0, -1, 0, kAll};
    EXPECT_FALSE(output.send(pattern(11)));
    EXPECT_EQ(files.writeSizes.size(), 4u);
    EXPECT_EQ(files.closed.size(), 4u);
    EXPECT_EQ(output.handle(), UsbOutput::kClosed);

    files.script = {-1, -1, -1, kAll}; // the fourth attempt still counts
    EXPECT_TRUE(output.send(pattern(11)));
}

TEST_F(UsbOutputTest, AbsentDeviceGivesFalseWithoutOpeningAnything) {
    inventory.list = {UsbDeviceEntry{"USB\\VID_1D6B&PID_0002\\hub", {}, "/dev/usb/lp9"}};
    EXPECT_FALSE(output.send(pattern(11)));
    inventory.list = {
        UsbDeviceEntry{"USB\\VID_0483&PID_5743\\PRN", {}, {}}}; // present, but no node yet
    EXPECT_FALSE(output.send(pattern(11)));
    EXPECT_TRUE(files.opened.empty());
}

// Gives a terminal the output processing every tty starts with (0A becomes 0D 0A).
bool cookOutput(const QString& node) {
    const int fd = ::open(QFile::encodeName(node).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    termios line{};
    bool ok = ::tcgetattr(fd, &line) == 0;
    line.c_oflag |= OPOST | ONLCR;
    ok = ok && ::tcsetattr(fd, TCSANOW, &line) == 0;
    ::close(fd);
    return ok;
}

TEST_F(UsbPortsTest, BootCommandReachesATtyRawNodeByteForByte) {
    PtyPair printer;
    ASSERT_TRUE(printer.ok());
    ASSERT_TRUE(cookOutput(printer.slavePath()));
    inventory.list = {{"USB\\VID_0483&PID_5740\\PRN", printer.slavePath(), printer.slavePath()}};
    UsbOutput output{usb};
    const Bytes command{0x1F, 0x1B, 0x1C, 0x0A, 0x0D, 0x11, 0x13, 0x03, 0x04, 0x7F, 0xFF};
    ASSERT_TRUE(output.send(command));
    EXPECT_EQ(printer.read(command.size()), command);
}

} // namespace
} // namespace posflash
