#include "base/ini_store.h"
#include "base/userfunction.h"
#include "base/wait_hub.h"
#include "ports/com_port_map.h"
#include "ports/modem_line_watch.h"
#include "support/fake_usb_inventory.h"
#include "support/port_layer.h"
#include "support/pty_pair.h"
#include "support/recording_panel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace posflash {
namespace {

using testing::PtyPair;

class PortModelTest : public ::testing::Test {
protected:
    PortModelTest() : settings(dir.filePath("sys_config.ini")), ports(panel, settings, map, usb) {
        ports.portModel().setBaudIndex(7);
    }

    QTemporaryDir dir;
    testing::RecordingPanel panel;
    IniStore settings;
    ComPortMap map;
    testing::FakeUsbInventory usb;
    testing::PortLayer ports;
    WaitHub waits;
};

TEST_F(PortModelTest, ChoosingUsbClosesThePortAndStoresTheKind) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(map.setMapping(3, pty.slavePath()));
    ports.portModel().selectComIndex(2);
    ports.portModel().optPortSelect_Click(1);
    ASSERT_TRUE(ports.portModel().PortSendData(Bytes{1, 2, 3}));
    ASSERT_TRUE(ports.serial().PortOpen());

    ports.portModel().optPortSelect_Click(1);
    EXPECT_FALSE(ports.serial().PortOpen());
    EXPECT_EQ(ports.portModel().portKind(), PortKindValue::Com);
    EXPECT_EQ(settings.GetIniString("PORT", "ComboPort"), "1");
    EXPECT_EQ(panel.statusPanel, " USB:COM3,115200,n,8,1");

    ports.portModel().optPortSelect_Click(0);
    EXPECT_EQ(ports.portModel().portKind(), PortKindValue::Network);
    EXPECT_EQ(panel.statusPanel, " ETHERNET:192.168.123.100");
}

TEST_F(PortModelTest, ChoosingACOMNumberClosesThePortAndStoresItsIndex) {
    ports.portModel().setBaudIndex(10);
    ports.portModel().selectComIndex(4);
    EXPECT_EQ(ports.serial().CommPort(), 5);
    EXPECT_EQ(panel.statusPanel, " COM5:912600,n,8,1");
    EXPECT_EQ(settings.GetIniString("SERIAL", "COM"), "4");
    EXPECT_EQ(panel.comIndex, 4);
}

TEST_F(PortModelTest, FirstSendOpensTheLineAndEveryByteArrivesInOrder) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(map.setMapping(7, pty.slavePath()));
    ports.portModel().selectComIndex(6);
    ports.portModel().optPortSelect_Click(1);
    EXPECT_FALSE(ports.serial().PortOpen());

    Bytes frame(1030);
    for (std::size_t i = 0; i < frame.size(); ++i)
        frame[i] = static_cast<std::uint8_t>(i * 13);
    ASSERT_TRUE(ports.portModel().PortSendData(frame));
    EXPECT_TRUE(ports.serial().PortOpen());
    EXPECT_EQ(panel.statusPanel, " "); // success leaves one space
    EXPECT_EQ(pty.read(frame.size()), frame);

    ASSERT_TRUE(ports.portModel().PortSendData(Bytes{9}));
    EXPECT_EQ(pty.read(1), Bytes{9});
}

TEST_F(PortModelTest, SendToAMissingPortFailsAndTheErrorStaysVisible) {
    ports.portModel().selectComIndex(200); // COM201: nothing behind it
    ports.portModel().optPortSelect_Click(1);
    EXPECT_FALSE(ports.portModel().PortSendData(Bytes{1}));
    EXPECT_FALSE(ports.serial().PortOpen());
    EXPECT_EQ(panel.statusPanel, " 无效端口号");
}

TEST_F(PortModelTest, EachArrivalReachesTheReplyCheckerFromIndexZero) {
    PtyPair pty;
    ASSERT_TRUE(map.setMapping(3, pty.slavePath()));
    ports.portModel().selectComIndex(2);
    ports.portModel().optPortSelect_Click(1);
    ASSERT_TRUE(ports.portModel().PortSendData(Bytes{0}));
    std::vector<Bytes> seen;
    ports.portModel().onReceived = [&](ByteView received) {
        seen.emplace_back(received.begin(), received.end());
        waits.recheck();
    };
    Bytes reply(20);
    for (std::size_t i = 0; i < reply.size(); ++i)
        reply[i] = static_cast<std::uint8_t>(i + 1);
    pty.write(reply);
    waits.waitFor([&] { return !seen.empty(); }, 2000);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], reply);
}

// Stands in for a line driver that reports modem-line changes.
class FakeModemLineWatch : public ModemLineWatch {
public:
    struct Calls {
        int starts = 0;
        int stops = 0;
        int fd = -1;
        std::function<void()> change;
    };
    // Shared: the serial control stops its watch again when it is destroyed, after the test.
    explicit FakeModemLineWatch(std::shared_ptr<Calls> calls) : calls_(std::move(calls)) {}
    void start(int fd, std::function<void()> onCarrierChange) override {
        ++calls_->starts;
        calls_->fd = fd;
        calls_->change = std::move(onCarrierChange);
    }
    void stop() override {
        ++calls_->stops;
        calls_->change = nullptr;
    }

private:
    std::shared_ptr<Calls> calls_;
};

TEST_F(PortModelTest, ACarrierDetectChangeClosesTheOpenPortAndTheNextSendReopensIt) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const auto shared = std::make_shared<FakeModemLineWatch::Calls>();
    FakeModemLineWatch::Calls& calls = *shared;
    ports.serial().setModemLineWatch(std::make_unique<FakeModemLineWatch>(shared));
    ASSERT_TRUE(map.setMapping(3, pty.slavePath()));
    ports.portModel().selectComIndex(2);
    ports.portModel().optPortSelect_Click(1);
    ASSERT_TRUE(ports.portModel().PortSendData(Bytes{1}));
    ASSERT_EQ(calls.starts, 1);
    EXPECT_GE(calls.fd, 0);
    const QString before = panel.statusPanel;

    ASSERT_TRUE(calls.change);
    calls.change();
    EXPECT_FALSE(ports.serial().PortOpen());
    EXPECT_EQ(panel.statusPanel, before); // a closed line is not an error
    EXPECT_FALSE(calls.change);           // the watch ended before the descriptor closed

    ASSERT_TRUE(ports.portModel().PortSendData(Bytes{2}));
    EXPECT_TRUE(ports.serial().PortOpen());
    EXPECT_EQ(calls.starts, 2);
}

TEST_F(PortModelTest, OnAPseudoTerminalTheRealWatchReportsNothingAndClosesPromptly) {
    // A pty cannot wait for modem lines: the watch must neither report a change nor hold up
    // the close.
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    ASSERT_TRUE(map.setMapping(3, pty.slavePath()));
    ports.portModel().selectComIndex(2);
    ports.portModel().optPortSelect_Click(1);
    for (int round = 0; round < 20; ++round) {
        ASSERT_TRUE(ports.portModel().PortSendData(Bytes{1}));
        QCoreApplication::processEvents();
        EXPECT_TRUE(ports.serial().PortOpen());
        ports.portModel().cmdCloseSerialUSB_Click();
        EXPECT_FALSE(ports.serial().PortOpen());
    }
}

TEST(WaitHub, TheDecidingEventEndsTheWaitAtOnceAndTimeoutsEndTheRest) {
    WaitHub waits;
    bool decided = false;
    QTimer::singleShot(20, [&] {
        decided = true;
        waits.recheck();
    });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(waits.waitFor([&] { return decided; }, 5000), WaitHub::End::Condition);
    EXPECT_LT(clock.elapsed(), 1000);

    clock.restart();
    EXPECT_EQ(waits.waitFor([] { return false; }, 50), WaitHub::End::Timeout);
    EXPECT_GE(clock.elapsed(), 50);

    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    clock.restart();
    DelayMs(waits, 50);
    EXPECT_TRUE(ran); // events run inside the delay
    EXPECT_GE(clock.elapsed(), 50);

    QTimer::singleShot(10, [&] { waits.shutdown(); });
    EXPECT_EQ(waits.waitFor([] { return false; }, std::nullopt), WaitHub::End::Shutdown);
    EXPECT_EQ(waits.waitFor([] { return false; }, 1000), WaitHub::End::Shutdown);
}

} // namespace
} // namespace posflash
