#include "link/mnetopt.h"
#include "support/engine_fixture.h"
#include "support/netns_pair.h"
#include "support/printer_sim_process.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <signal.h>

namespace posflash {
namespace {

using testing::NetnsPair;
using testing::PrinterSimProcess;
using Outcome = DownloadDriver::Outcome;

constexpr const char* kMac = "00-11-22-33-44-55";

class NetworkDownloadTest : public ::testing::Test, protected testing::EngineParts {
protected:
    static void SetUpTestSuite() {
        net_ = new NetnsPair;
        ready_ = net_->setUp();
    }
    static void TearDownTestSuite() {
        delete net_;
        net_ = nullptr;
    }

    NetworkDownloadTest() {
        engine.faces().setUseEnglish(true);
        panel.ip = NetnsPair::kPrinterIp;
        panel.mac = kMac;
    }

    void SetUp() override {
        if (!ready_)
            GTEST_SKIP() << "no network namespaces here: " << net_->why().toStdString();
        engine.portModel().optPortSelect_Click(0);
    }

    // The simulated printer in the printer's namespace.
    std::unique_ptr<PrinterSimProcess> printer() {
        return std::make_unique<PrinterSimProcess>(dir, net_->printerLauncher());
    }

    // Presses cancel after ms, for link waits that have no time limit of their own (and so
    // that a link that never comes fails the test instead of hanging it).
    void cancelAfter(int ms) {
        QTimer::singleShot(ms, &engine.driver(), [this] { engine.driver().cmdCancel_Click(); });
    }

    static QJsonObject lastSession(const QJsonObject& report) {
        return report["last_session"].toObject();
    }

    static NetnsPair* net_;
    static bool ready_;
};

NetnsPair* NetworkDownloadTest::net_ = nullptr;
bool NetworkDownloadTest::ready_ = false;

TEST_F(NetworkDownloadTest, BootpPathDeliversTheImageAndTheAnswerPassesThePrintersChecks) {
    // The tool's first card is not the printer's, and the default route leaves through it: the
    // answer must name, and leave through, the card the request came in on.
    ASSERT_EQ(GetLocalIpAddress(), "10.88.0.1");
    auto sim = printer();
    // The printer asks twice more after the answer: those requests get none.
    ASSERT_TRUE(sim->startMode(
        {"net", "--ip", NetnsPair::kPrinterIp, "--mac", kMac, "--requests-after-reply", "2"}));
    panel.programFile = writeProgramImage(5000, "fw.bin");
    cancelAfter(15000);
    engine.driver().btnDownloadFile_Click();
    EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Completed) << panel.label.toStdString();
    EXPECT_NE(engine.network().linkLocalPort(), 69); // frames left from a fresh port
    const QJsonObject report = sim->stop();
    EXPECT_EQ(sim->received(), written);
    EXPECT_TRUE(report["errors"].toArray().isEmpty())
        << QJsonDocument(report["errors"].toArray()).toJson().toStdString();
    EXPECT_GE(report["bootp_requests"].toInt(), 3);
    EXPECT_EQ(report["bootp_replies"].toInt(), 1);
    EXPECT_EQ(report["boot_file"].toString(), "fw.bin");
    EXPECT_EQ(report["server_ip"].toString(), "10.77.0.1");
    EXPECT_EQ(panel.downloadCount, 1);
}

TEST_F(NetworkDownloadTest, RequestsOfAnotherPrinterOrBrandAreNotAnswered) {
    for (const QStringList& who : {QStringList{"--mac", "00-11-22-33-44-56"},
                                   QStringList{"--mac", kMac, "--brand", "v-orbit"}}) {
        auto sim = printer();
        ASSERT_TRUE(sim->startMode(QStringList{"net", "--ip", NetnsPair::kPrinterIp} + who));
        panel.programFile = writeProgramImage(1000);
        cancelAfter(2500);
        engine.driver().btnDownloadFile_Click();
        EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Cancelled);
        EXPECT_EQ(panel.label, "Failed to download, please check!");
        const QJsonObject report = sim->stop();
        EXPECT_EQ(report["bootp_replies"].toInt(), 0) << who.join(' ').toStdString();
        EXPECT_EQ(report["start_frames"].toInt(), 0);
    }
}

TEST_F(NetworkDownloadTest, StatusOneGreetingLinksWithoutBootp) {
    auto sim = printer();
    ASSERT_TRUE(sim->startMode({"net", "--ip", NetnsPair::kPrinterIp, "--mac", kMac, "--greet",
                                "--host", NetnsPair::kToolIp}));
    panel.programFile = writeProgramImage(2000);
    engine.driver().btnDownloadFile_Click();
    EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Completed) << panel.label.toStdString();
    sim->stop();
    EXPECT_EQ(sim->received(), written);
}

TEST_F(NetworkDownloadTest, AcknowledgementsFromAThirdAddressAreIgnored) {
    auto sim = printer();
    ASSERT_TRUE(sim->startMode({"net", "--ip", NetnsPair::kPrinterIp, "--mac", kMac, "--greet",
                                "--host", NetnsPair::kToolIp, "--drop", "1:3"}));
    // A stranger keeps accepting frame 1 on the link port while the printer stays silent.
    QUdpSocket stranger;
    ASSERT_TRUE(stranger.bind(QHostAddress(NetnsPair::kStrangerIp), 13633));
    const QByteArray accept("\x1F\x1B\x1C\x06\x04\x80\x54\x02\x00\x00\x00\x01\x00", 13);
    QTimer flood;
    QObject::connect(&flood, &QTimer::timeout,
                     [&] { stranger.writeDatagram(accept, QHostAddress(NetnsPair::kToolIp), 69); });
    flood.start(50);
    panel.programFile = writeProgramImage(2000);
    engine.driver().btnDownloadFile_Click();
    flood.stop();
    EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Failed);
    EXPECT_EQ(panel.label, "Download failed!");
    const QJsonObject copies = lastSession(sim->stop())["frame_copies"].toObject();
    EXPECT_EQ(copies["1"].toInt(), 3);
    EXPECT_EQ(copies["2"].toInt(), 0);
}

TEST_F(NetworkDownloadTest, GreetingFromAnotherAddressIsIgnoredAndNamedOncePerLinkWait) {
    // A boot loader greets from 10.77.0.3 while the IP box says 10.77.0.2: a mistyped address.
    QUdpSocket stranger;
    ASSERT_TRUE(stranger.bind(QHostAddress(NetnsPair::kStrangerIp), 13633));
    const QByteArray greeting("\x1F\x1B\x1C\x06\x01\x00\x00\x00\x00\x00\x00", 11);
    QTimer knock;
    QObject::connect(&knock, &QTimer::timeout, [&] {
        stranger.writeDatagram(greeting, QHostAddress(NetnsPair::kToolIp), 69);
    });
    knock.start(100);
    panel.programFile = writeProgramImage(1000);
    const QList<std::pair<bool, QString>> faces{
        {true, " A printer at 10.77.0.3 answered and was ignored: the IP address is set to "
               "10.77.0.2. Check the IP address."},
        {false, QStringLiteral(" 地址为 10.77.0.3 的打印机应答已被忽略：IP 地址设置为 "
                               "10.77.0.2。请检查 IP 地址。")}};
    for (const auto& [english, hint] : faces) {
        engine.faces().setUseEnglish(english);
        panel.statusPanels.clear();
        cancelAfter(1000);
        engine.driver().btnDownloadFile_Click();
        EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Cancelled);
        EXPECT_EQ(panel.statusPanels.count(hint), 1) << panel.statusPanels.join('|').toStdString();
    }
}

TEST_F(NetworkDownloadTest, BootCommandIsElevenBytesAndAnEchoOfNineOrTenClosesAtOnce) {
    for (const QStringList& echo : {QStringList{}, {"--echo", "9"}, {"--echo", "10"}}) {
        SCOPED_TRACE(echo.join(' ').toStdString());
        auto sim = printer();
        ASSERT_TRUE(sim->startMode(QStringList{"app", "--ip", NetnsPair::kPrinterIp} + echo));
        QElapsedTimer clock;
        clock.start();
        engine.appToBoot().cmdAppToBoot_Click();
        EXPECT_LT(clock.elapsed(), 3000);
        EXPECT_EQ(panel.statusPanel, " Enter the download status");
        EXPECT_TRUE(panel.downloadEnabled);
        const QJsonObject report = sim->stop();
        EXPECT_EQ(report["app_boot_commands"].toInt(), 1);
        const QJsonArray received = report["app_received_hex"].toArray();
        ASSERT_EQ(received.size(), 1);
        EXPECT_EQ(received[0].toString().remove(' ').toLower(), "1f1b1c06ff626f6f74080a");
        // Without an echo the connection lives the whole 1.5 s pause.
        EXPECT_LE(report["app_close_after_command_ms"].toInt(9999), echo.isEmpty() ? 1600 : 500);
    }
}

TEST_F(NetworkDownloadTest, UnreachablePrinterCostsTheConnectWaitAndThePauseOnly) {
    panel.ip = "10.77.0.9"; // nobody there
    QElapsedTimer clock;
    clock.start();
    engine.appToBoot().cmdAppToBoot_Click();
    const qint64 spent = clock.elapsed();
    EXPECT_GE(spent, 4400);
    EXPECT_LT(spent, 6000);
    EXPECT_TRUE(panel.downloadEnabled);
    EXPECT_FALSE(engine.appToBoot().isRunning());
    EXPECT_EQ(panel.statusPanel, " Enter the download status");
}

TEST_F(NetworkDownloadTest, FontDownloadThroughTheFirmwareFindsRepliesBehindFiller) {
    // A font goes through the running firmware over TCP. Each reply comes as one block of 1024 zero
    // bytes and then the reply: only cutting what arrives into buffer-sized pieces puts the reply
    // where the checker reads it.
    auto sim = printer();
    ASSERT_TRUE(sim->startMode({"app", "--ip", NetnsPair::kPrinterIp, "--pad-replies", "1024"}));
    panel.fontBoot = false;
    panel.fontFile = writeProgramImage(3000, "font.bin");
    cancelAfter(15000);
    engine.driver().btnDownloadFontFile_Click();
    EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Completed) << panel.label.toStdString();
    const QJsonObject report = sim->stop();
    EXPECT_EQ(sim->received(), written);
    EXPECT_TRUE(report["errors"].toArray().isEmpty());
}

TEST_F(NetworkDownloadTest, FontLinkFailsAtOnceWhenThePrinterClosesOrResetsTheConnection) {
    for (const char* hangup : {"close", "reset"}) {
        auto sim = printer();
        ASSERT_TRUE(
            sim->startMode({"app", "--ip", NetnsPair::kPrinterIp, "--font-mode-hangup", hangup}));
        panel.fontBoot = false;
        panel.fontFile = writeProgramImage(3000, "font.bin");
        cancelAfter(5000);
        QElapsedTimer clock;
        clock.start();
        engine.driver().btnDownloadFontFile_Click();
        EXPECT_LT(clock.elapsed(), 2000) << hangup;
        EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Failed) << hangup;
        EXPECT_EQ(panel.label, "Failed to download, please check!");
        EXPECT_EQ(sim->stop()["app_font_mode_commands"].toInt(), 1) << hangup;
    }
}

TEST_F(NetworkDownloadTest, RefusedBindEndsTheLinkAtOnceWithTheRemedy) {
    for (const quint16 port : {67, 69}) {
        QUdpSocket squatter;
        ASSERT_TRUE(squatter.bind(QHostAddress::AnyIPv4, port));
        panel.programFile = writeProgramImage(1000);
        QElapsedTimer clock;
        clock.start();
        engine.driver().btnDownloadFile_Click();
        EXPECT_LT(clock.elapsed(), 2000);
        EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Failed);
        ASSERT_FALSE(panel.tips.isEmpty());
        EXPECT_TRUE(panel.tips.last().contains(QStringLiteral("UDP port %1").arg(port)))
            << panel.tips.last().toStdString();
        EXPECT_TRUE(panel.tips.last().contains("cap_net_bind_service"));
        EXPECT_EQ(panel.label, "Failed to download, please check!");
        // Neither port stays taken by the tool.
        squatter.close();
        QUdpSocket probe67, probe69;
        EXPECT_TRUE(probe67.bind(QHostAddress::AnyIPv4, 67)) << port;
        EXPECT_TRUE(probe69.bind(QHostAddress::AnyIPv4, 69)) << port;
    }
}

TEST_F(NetworkDownloadTest, MalformedAddressesAreRefusedBeforeAnySocketIsBound) {
    panel.programFile = writeProgramImage(1000);
    struct Case {
        QString ip, mac, refusal;
    };
    const QList<Case> cases{{"192.168.123", kMac, "The IP address \"192.168.123\" is not valid"},
                            {NetnsPair::kPrinterIp, "00-11-22-33-44",
                             "The MAC address \"00-11-22-33-44\" is not valid"},
                            {NetnsPair::kPrinterIp, "00-11-22-33-44-GG",
                             "The MAC address \"00-11-22-33-44-GG\" is not valid"}};
    for (const Case& c : cases) {
        panel.ip = c.ip;
        panel.mac = c.mac;
        panel.tips.clear();
        engine.driver().btnDownloadFile_Click();
        EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Failed);
        ASSERT_EQ(panel.tips.size(), 1);
        EXPECT_TRUE(panel.tips.last().startsWith(c.refusal)) << panel.tips.last().toStdString();
        QUdpSocket probe67, probe69; // both ports are still free
        EXPECT_TRUE(probe67.bind(QHostAddress::AnyIPv4, 67));
        EXPECT_TRUE(probe69.bind(QHostAddress::AnyIPv4, 69));
    }
}

} // namespace
} // namespace posflash
