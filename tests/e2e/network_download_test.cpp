// Network downloads through the engine into a namespace: what only real sockets show.

#include "support/engine_fixture.h"
#include "support/netns_pair.h"
#include "support/printer_sim_process.h"
#include "support/qt_printers.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

namespace posflash {
namespace {

using testing::NetnsPair;
using testing::PrinterSimProcess;

constexpr const char* kMac = "00-11-22-33-44-55";

QString outcomeOf(const DownloadResult& r) {
    return OutcomeName(r.outcome) + "/" + CauseName(r.cause);
}

class NetworkDownloadTest : public testing::NetnsSuite<>, protected testing::EngineParts {
protected:
    std::unique_ptr<PrinterSimProcess> printer() {
        return std::make_unique<PrinterSimProcess>(dir, net_->printerLauncher());
    }
    // A time limit, so that a link that never comes fails the test instead of hanging it.
    DownloadJob job(const QString& imagePath, Route route = Route::Network, int linkMs = 15000) {
        DownloadJob j;
        j.printer.ip = NetnsPair::kPrinterIp;
        j.printer.mac = kMac;
        j.imagePath = imagePath;
        j.kind = route == Route::FontThroughFirmware ? ImageKind::Font : ImageKind::Program;
        j.route = route;
        j.linkTimeoutMs = linkMs;
        return j;
    }
};

// A greeting links on port 69 itself; replies behind 1024 zero bytes are read piece by piece.
TEST_F(NetworkDownloadTest, DownloadsArriveWholeOverRealSockets) {
    const QString ip = NetnsPair::kPrinterIp, tool = NetnsPair::kToolIp;
    const QJsonArray fromPort69{tool + ":69"};
    // clang-format off
    const struct { const char* name; QStringList sim; Route route; QJsonArray senders; } cases[] = {
        {"a greeting links without BOOTP", {"net", "--ip", ip, "--mac", kMac, "--greet", "--host", tool}, Route::Network, fromPort69},
        {"a font behind filler", {"app", "--ip", ip, "--pad-replies", "1024"}, Route::FontThroughFirmware, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto sim = printer();
        ASSERT_TRUE(sim->startMode(c.sim));
        const DownloadJob j =
            job(writeProgramImage(c.route == Route::Network ? 2000 : 3000), c.route);
        EXPECT_EQ(outcomeOf(download(j)), "completed/none");
        const QJsonObject report = sim->stop();
        EXPECT_TRUE(report["errors"].toArray().isEmpty());
        if (!c.senders.isEmpty()) {
            EXPECT_EQ(report["frame_senders"].toArray(), c.senders);
        }
        EXPECT_EQ(sim->received(), written);
    }
}

// Datagrams to the link port from a third host, every 50 ms while the test waits.
class Stranger {
public:
    explicit Stranger(const QByteArray& datagram) {
        socket_.bind(QHostAddress(NetnsPair::kStrangerIp), 13633);
        QObject::connect(&timer_, &QTimer::timeout, [this, datagram] {
            socket_.writeDatagram(datagram, QHostAddress(NetnsPair::kToolIp), 69);
        });
        timer_.start(50);
    }

private:
    QUdpSocket socket_;
    QTimer timer_;
};

TEST_F(NetworkDownloadTest, AcknowledgementsFromAThirdAddressAreIgnored) {
    auto sim = printer();
    ASSERT_TRUE(sim->startMode({"net", "--ip", NetnsPair::kPrinterIp, "--mac", kMac, "--greet",
                                "--host", NetnsPair::kToolIp, "--drop", "1:3"}));
    Stranger stranger(QByteArray("\x1F\x1B\x1C\x06\x04\x80\x54\x02\x00\x00\x00\x01\x00", 13));
    EXPECT_EQ(outcomeOf(download(job(writeProgramImage(2000)))), "failed/printer-silent");
    const QJsonObject copies = sim->stop()["last_session"].toObject()["frame_copies"].toObject();
    EXPECT_EQ(copies["1"].toInt(), 3);
    EXPECT_EQ(copies["2"].toInt(), 0);
}

TEST_F(NetworkDownloadTest, AGreetingFromAnotherAddressIsIgnoredAndNamedOncePerLink) {
    // A boot loader greets from 10.77.0.3 while the job says 10.77.0.2: a mistyped address.
    Stranger stranger(QByteArray("\x1F\x1B\x1C\x06\x01\x00\x00\x00\x00\x00\x00", 11));
    for (int link = 0; link < 2; ++link) {
        EXPECT_EQ(outcomeOf(download(job(writeProgramImage(1000), Route::Network, 600))),
                  "failed/link-timeout");
        EXPECT_EQ(observer.events.count(QStringLiteral("otherAddress ") + NetnsPair::kStrangerIp),
                  1);
    }
}

// A stranger's BOOTP request with the printer's MAC is answered first; the printer still is.
TEST_F(NetworkDownloadTest, AStrayRequestWithThePrintersMacDoesNotUseUpTheLink) {
    auto sim = printer();
    ASSERT_TRUE(sim->startMode({"net", "--ip", NetnsPair::kPrinterIp, "--mac", kMac}));
    QByteArray stray(304, '\0');
    stray.replace(0, 12,
                  QByteArray::fromHex("1F1B1C06010106"
                                      "0012345678"));
    stray.replace(32, 6, QByteArray::fromHex("001122334455"));
    stray.replace(48, 7, "V-ORBIT");
    QUdpSocket stranger;
    ASSERT_TRUE(stranger.bind(QHostAddress(NetnsPair::kStrangerIp), 0));
    // Sent as the link begins, so it is answered before the printer's next request.
    observer.onLinking = [&] {
        stranger.writeDatagram(stray, QHostAddress(NetnsPair::kToolIp), 67);
    };
    EXPECT_EQ(outcomeOf(download(job(writeProgramImage(1000), Route::Network, 12000))),
              "completed/none");
    const QStringList knocks = observer.events.filter("noGreeting");
    ASSERT_EQ(knocks.size(), 1);
    EXPECT_TRUE(knocks[0].contains(NetnsPair::kStrangerIp)) << knocks[0].toStdString();
    sim->stop();
    EXPECT_EQ(sim->received(), written);
}

TEST_F(NetworkDownloadTest, RefusedBindEndsTheLinkAtOnceAndLeavesNeitherPortTaken) {
    for (const quint16 port : {67, 69}) {
        SCOPED_TRACE(port);
        QUdpSocket squatter;
        ASSERT_TRUE(squatter.bind(QHostAddress::AnyIPv4, port));
        QElapsedTimer clock;
        clock.start();
        const DownloadResult result = download(job(writeProgramImage(1000)));
        EXPECT_LT(clock.elapsed(), 1000);
        EXPECT_EQ(outcomeOf(result), "failed/bind-refused");
        EXPECT_TRUE(result.error.text.contains(QStringLiteral("UDP port %1").arg(port)))
            << result.error.text.toStdString();
        EXPECT_FALSE(result.error.detail.isEmpty()); // the system's own words
        squatter.close();
        QUdpSocket probe67, probe69;
        EXPECT_TRUE(probe67.bind(QHostAddress::AnyIPv4, 67));
        EXPECT_TRUE(probe69.bind(QHostAddress::AnyIPv4, 69));
    }
}

TEST_F(NetworkDownloadTest, FontLinkFailsAtOnceWhenThePrinterClosesOrResetsTheConnection) {
    for (const char* hangup : {"close", "reset"}) {
        SCOPED_TRACE(hangup);
        auto sim = printer();
        ASSERT_TRUE(
            sim->startMode({"app", "--ip", NetnsPair::kPrinterIp, "--font-mode-hangup", hangup}));
        QElapsedTimer clock;
        clock.start();
        const DownloadResult result =
            download(job(writeProgramImage(3000, "font.bin"), Route::FontThroughFirmware, 5000));
        EXPECT_LT(clock.elapsed(), 2000);
        EXPECT_EQ(outcomeOf(result), "failed/monitor-unreachable");
        EXPECT_EQ(sim->stop()["app_font_mode_commands"].toInt(), 1);
    }
}

TEST_F(NetworkDownloadTest, BootCommandIsElevenBytesAndAnEchoOfNineOrTenClosesAtOnce) {
    for (const QStringList& echo : {QStringList{}, {"--echo", "9"}, {"--echo", "10"}}) {
        SCOPED_TRACE(echo.join(' ').toStdString());
        auto sim = printer();
        ASSERT_TRUE(sim->startMode(QStringList{"app", "--ip", NetnsPair::kPrinterIp} + echo));
        InbootJob job;
        job.route = Route::Network;
        job.printer.ip = NetnsPair::kPrinterIp;
        EXPECT_EQ(outcomeOf(inboot(job, 5000)), "completed/none");
        const QJsonObject report = sim->stop();
        const QJsonArray received = report["app_received_hex"].toArray();
        ASSERT_EQ(received.size(), 1);
        EXPECT_EQ(received[0].toString().remove(' ').toLower(), "1f1b1c06ff626f6f74080a");
        // Without an echo the connection lives the whole 1.5 s pause.
        EXPECT_LE(report["app_close_after_command_ms"].toInt(9999), echo.isEmpty() ? 1600 : 500);
    }
}

TEST_F(NetworkDownloadTest, UnreachablePrinterCostsTheConnectWaitAndThePauseOnly) {
    InbootJob job;
    job.route = Route::Network;
    job.printer.ip = "10.77.0.9"; // nobody there
    QElapsedTimer clock;
    clock.start();
    const DownloadResult result = inboot(job, 8000);
    EXPECT_GE(clock.elapsed(), BootCommand::kConnectWaitMs + BootCommand::kCloseAfterCommandMs);
    EXPECT_LT(clock.elapsed(), 6000);
    EXPECT_EQ(outcomeOf(result), "failed/monitor-unreachable");
}

} // namespace
} // namespace posflash
