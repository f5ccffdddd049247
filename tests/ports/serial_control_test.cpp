#include "ports/com_port_map.h"
#include "ports/serial_control.h"
#include "support/pty_pair.h"

#include <QTest>

#include <gtest/gtest.h>

namespace posflash {
namespace {

struct FakeWatch : ModemLineWatch { // the test plays the line driver's carrier-detect report
    explicit FakeWatch(std::function<void()>& change) : change(change) {}
    void start(int, std::function<void()> onChange) override { change = std::move(onChange); }
    void stop() override { change = nullptr; }
    std::function<void()>& change;
};

class SerialControlTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(pty.ok() && map.setMapping(3, pty.slavePath())); }
    testing::PtyPair pty;
    ComPortMap map;
    std::function<void()> change; // the fake watch's: the serial control stops it at its end
    SerialControl serial{map};
};

TEST_F(SerialControlTest, ACarrierDetectChangeClosesTheLineAndEndsTheWatchFirst) {
    serial.setModemLineWatch(std::make_unique<FakeWatch>(change));
    ASSERT_TRUE(serial.setComNumber(3) && serial.setOpen(true) && change);
    std::function<void()>{change}(); // a copy: the stop clears the watch's own
    EXPECT_FALSE(serial.isOpen());
    EXPECT_FALSE(change); // stopped before the descriptor closed
}

// A pseudo-terminal cannot wait for modem lines: the real watch never reports a change.
TEST_F(SerialControlTest, OnAPseudoTerminalTheRealWatchStaysQuietOverOpenAndClose) {
    ASSERT_TRUE(serial.setComNumber(3));
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(serial.setOpen(true));
        QTest::qWait(5);
        EXPECT_TRUE(serial.isOpen()) << "round " << round;
        serial.closePort();
    }
}

} // namespace
} // namespace posflash
