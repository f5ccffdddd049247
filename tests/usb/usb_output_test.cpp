#include "ports/usb_output.h"

#include "support/pty_pair.h"
#include "usb/usb_fixture.h"

#include <QFile>

#include <deque>
#include <limits>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace posflash {
namespace {

using testing::PtyPair;
using testing::usbDevice;
using testing::UsbEngineTest;

constexpr std::ptrdiff_t kAll = std::numeric_limits<std::ptrdiff_t>::max();

// File calls that write what the script says and remember every call.
class ScriptedFiles : public DeviceFileOps {
public:
    int open(const QString& path) override {
        opened.push_back(path);
        return failOpen ? -1 : nextFd++;
    }
    std::ptrdiff_t write(int fd, ByteView bytes) override {
        writeFds.push_back(fd);
        writeSizes.push_back(bytes.size());
        std::ptrdiff_t result = kAll;
        if (!script.empty()) {
            result = script.front();
            script.pop_front();
        }
        if (result == kAll)
            result = static_cast<std::ptrdiff_t>(bytes.size());
        if (result > 0) {
            const auto kept = std::min<std::size_t>(static_cast<std::size_t>(result), bytes.size());
            received.insert(received.end(), bytes.begin(), bytes.begin() + kept);
        }
        return result;
    }
    void close(int fd) override { closed.push_back(fd); }

    std::deque<std::ptrdiff_t> script; // results of the next writes; kAll writes everything
    bool failOpen = false;
    int nextFd = 5;
    std::vector<QString> opened;
    std::vector<int> writeFds;
    std::vector<std::size_t> writeSizes;
    std::vector<int> closed;
    Bytes received;
};

// Gives a terminal node the output processing every tty starts with (0A becomes 0D 0A).
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

Bytes pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return bytes;
}

class UsbOutputTest : public UsbEngineTest {
protected:
    UsbOutputTest() {
        inventory.list = {usbDevice("USB\\VID_0483&PID_5743\\PRN", {}, "/dev/usb/lp0")};
    }
    ScriptedFiles files;
    UsbOutput output{engine.usb, engine.ports, files};
};

// Pieces

TEST_F(UsbOutputTest, TenThousandBytesGoOutAs8192Then1808) {
    const Bytes data = pattern(10000);
    ASSERT_TRUE(output.UsbSendData(data));
    EXPECT_EQ(files.writeSizes, (std::vector<std::size_t>{8192, 1808}));
    EXPECT_EQ(files.received, data);
    EXPECT_EQ(files.opened, (std::vector<QString>{"/dev/usb/lp0"}));
}

TEST_F(UsbOutputTest, ShortWriteIsFollowedByTheRestFromWhereItStopped) {
    files.script = {100};
    const Bytes data = pattern(10000);
    ASSERT_TRUE(output.UsbSendData(data));
    EXPECT_EQ(files.writeSizes, (std::vector<std::size_t>{8192, 8192, 1708}));
    EXPECT_EQ(files.received, data);
    EXPECT_TRUE(files.closed.empty()); // a short write is progress, not a failure
}

// Failed writes

TEST_F(UsbOutputTest, WriteFailingPartWayResumesAfterReopenWithTheUnsentBytes) {
    files.script = {8192, -1};
    const Bytes data = pattern(10000);
    ASSERT_TRUE(output.UsbSendData(data));
    EXPECT_EQ(files.received, data); // neither the front resent nor the tail dropped
    EXPECT_EQ(files.writeSizes, (std::vector<std::size_t>{8192, 1808, 1808}));
    EXPECT_EQ(files.opened.size(), 2u);
    EXPECT_EQ(files.closed, (std::vector<int>{5}));
    EXPECT_EQ(files.writeFds, (std::vector<int>{5, 5, 6})); // the retry used the new descriptor
}

TEST_F(UsbOutputTest, FourFailedAttemptsGiveUp) {
    files.script = {-1, -1, -1, -1, kAll};
    EXPECT_FALSE(output.UsbSendData(pattern(11)));
    EXPECT_EQ(files.writeSizes.size(), 4u);
    EXPECT_EQ(files.opened.size(), 4u);
    EXPECT_EQ(files.closed.size(), 4u);
    EXPECT_EQ(output.UsbDeviceHandle(), UsbOutput::kClosed);
}

TEST_F(UsbOutputTest, FourthAttemptMaySucceed) {
    files.script = {-1, -1, -1, kAll};
    const Bytes data = pattern(11);
    EXPECT_TRUE(output.UsbSendData(data));
    EXPECT_EQ(files.received, data);
}

TEST_F(UsbOutputTest, WritesOfNothingCountAsFailedAttemptsSoTheLoopEnds) {
    files.script = {0, 0, 0, 0, 0, 0};
    EXPECT_FALSE(output.UsbSendData(pattern(11)));
    EXPECT_EQ(files.writeSizes.size(), 4u);
}

TEST_F(UsbOutputTest, WriteClaimingMoreThanAskedIsNotTrusted) {
    files.script = {20};
    const Bytes data = pattern(11);
    EXPECT_TRUE(output.UsbSendData(data));
    EXPECT_EQ(files.writeSizes, (std::vector<std::size_t>{11, 11}));
    EXPECT_EQ(files.closed.size(), 1u);
}

// Opening

TEST_F(UsbOutputTest, AbsentDeviceGivesFalseWithoutOpeningAnything) {
    inventory.list = {usbDevice("USB\\VID_1D6B&PID_0002\\hub", {}, "/dev/usb/lp9")};
    EXPECT_FALSE(output.UsbSendData(pattern(11)));
    inventory.reachable = false;
    EXPECT_FALSE(output.UsbSendData(pattern(11)));
    EXPECT_EQ(output.OpenUsbDevice(), UsbOutput::kClosed);
    EXPECT_TRUE(files.opened.empty());
    EXPECT_TRUE(files.writeSizes.empty());
}

TEST_F(UsbOutputTest, DeviceWithoutAnyNodeYetIsNotOpened) {
    inventory.list = {usbDevice("USB\\VID_0483&PID_5743\\PRN")};
    EXPECT_FALSE(output.UsbSendData(pattern(11)));
    EXPECT_TRUE(files.opened.empty());
}

TEST_F(UsbOutputTest, FailedOpenGivesFalseAndWritesNothing) {
    files.failOpen = true;
    EXPECT_FALSE(output.UsbSendData(pattern(11)));
    EXPECT_EQ(files.opened.size(), 1u);
    EXPECT_TRUE(files.writeSizes.empty());
    EXPECT_EQ(output.UsbDeviceHandle(), UsbOutput::kClosed);
}

TEST_F(UsbOutputTest, DeviceStaysOpenBetweenSendsUntilClosed) {
    ASSERT_TRUE(output.UsbSendData(pattern(11)));
    ASSERT_TRUE(output.UsbSendData(pattern(11)));
    EXPECT_EQ(files.opened.size(), 1u);
    EXPECT_EQ(output.OpenUsbDevice(), 5); // already open: that descriptor, no second open

    output.CloseUsbDevice();
    EXPECT_EQ(files.closed, (std::vector<int>{5}));
    ASSERT_TRUE(output.UsbSendData(pattern(11)));
    EXPECT_EQ(files.opened.size(), 2u);
    EXPECT_EQ(files.writeFds.back(), 6);
}

TEST_F(UsbOutputTest, CloseReleasesTheDescriptorOfADeviceThatLeft) {
    ASSERT_TRUE(output.UsbSendData(pattern(11)));
    inventory.list.clear();
    output.CloseUsbDevice();
    EXPECT_EQ(files.closed, (std::vector<int>{5}));
    output.CloseUsbDevice(); // nothing left to close
    EXPECT_EQ(files.closed.size(), 1u);
}

TEST_F(UsbOutputTest, PathIsReadAgainBeforeEachOpen) {
    ASSERT_TRUE(output.UsbSendData(pattern(11)));
    output.CloseUsbDevice();
    inventory.list = {usbDevice("USB\\VID_0483&PID_5743\\PRN", {}, "/dev/usb/lp1")};
    ASSERT_TRUE(output.UsbSendData(pattern(11)));
    EXPECT_EQ(files.opened.back(), "/dev/usb/lp1");
}

// Through the engine, with the host's file calls

TEST_F(UsbEngineTest, BootCommandSendReachesTheRawNodeByteForByte) {
    PtyPair printer;
    ASSERT_TRUE(printer.ok());
    ASSERT_TRUE(cookOutput(printer.slavePath()));
    inventory.list = {
        usbDevice("USB\\VID_0483&PID_5740\\PRN", printer.slavePath(), printer.slavePath())};
    engine.portModel.optPortSelect_Click(1);
    engine.ports.AppToBootActive = true;
    // Line ends and flow-control bytes a tty would rewrite or swallow.
    const Bytes command{0x1F, 0x1B, 0x1C, 0x0A, 0x0D, 0x11, 0x13, 0x03, 0x04, 0x7F, 0xFF};
    ASSERT_TRUE(engine.portModel.PortSendData(command));
    EXPECT_EQ(printer.read(command.size()), command);
    EXPECT_FALSE(engine.serial.PortOpen());
    EXPECT_NE(engine.usbOutput.UsbDeviceHandle(), UsbOutput::kClosed);
    engine.usbOutput.CloseUsbDevice();
    EXPECT_EQ(engine.usbOutput.UsbDeviceHandle(), UsbOutput::kClosed);
}

} // namespace
} // namespace posflash
