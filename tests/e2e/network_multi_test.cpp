// posflash-cli downloading to two network printers at once, each simulated printer in a
// namespace of its own behind its own card of the tool's (root only).
#include "protocol/checksums.h"
#include "support/netns_pair.h"
#include "support/printer_sim_process.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace posflash {
namespace {

using testing::NetnsPair;
using testing::PrinterSimProcess;

constexpr const char* kMac1 = "00-11-22-33-44-55";
constexpr const char* kMac2 = "00-11-22-33-44-66";

struct Finished {
    int exitCode = -1;
    bool timedOut = false;
    QString out;
    QString err;
};

class NetworkMultiTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        net_ = new NetnsPair(true);
        ready_ = net_->setUp();
    }
    static void TearDownTestSuite() {
        delete net_;
        net_ = nullptr;
    }

    void SetUp() override {
        if (!ready_)
            GTEST_SKIP() << "no network namespaces here: " << net_->why().toStdString();
    }

    // A simulated network boot loader in the first or the second printer's namespace.
    PrinterSimProcess& printer(bool second, const QStringList& args) {
        dirs_.push_back(std::make_unique<QTemporaryDir>());
        sims_.push_back(
            std::make_unique<PrinterSimProcess>(*dirs_.back(), net_->printerLauncher(second)));
        EXPECT_TRUE(sims_.back()->startMode(QStringList{"net"} + args));
        return *sims_.back();
    }

    // A program image of n bytes whose trailing sum is right.
    QString programImage(int n) {
        Bytes image(static_cast<std::size_t>(n));
        for (std::size_t i = 0; i + 4 < image.size(); ++i)
            image[i] = static_cast<std::uint8_t>((i * 29 + i / 253) & 0xFF);
        const std::uint32_t sum = GetSum(ByteView(image).first(image.size() - 4));
        for (int b = 0; b < 4; ++b)
            image[image.size() - 4 + static_cast<std::size_t>(b)] =
                static_cast<std::uint8_t>(sum >> (8 * b));
        image_ = image;
        const QString path = dir_.filePath("fw.bin");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(image.data()), static_cast<qint64>(image.size()));
        return path;
    }

    // posflash-cli in the tool's namespace, keeping its history in this test's folder.
    Finished run(const QStringList& args, int timeoutMs) {
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", dir_.path());
        cli.setProcessEnvironment(env);
        cli.start(POSFLASH_CLI_PATH, args);
        Finished result;
        if (!cli.waitForFinished(timeoutMs)) {
            cli.kill();
            cli.waitForFinished(2000);
            result.timedOut = true;
        }
        result.exitCode = cli.exitCode();
        result.out = QString::fromUtf8(cli.readAllStandardOutput());
        result.err = QString::fromUtf8(cli.readAllStandardError());
        return result;
    }

    // The last event of the kind per target, from a JSON Lines stream.
    static QMap<QString, QJsonObject> lastByTarget(const QString& out, const QString& event) {
        QMap<QString, QJsonObject> found;
        for (const QString& line : out.split('\n', Qt::SkipEmptyParts)) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            if (o["event"] == event)
                found[o["target"].toString()] = o;
        }
        return found;
    }

    QMap<QString, QJsonObject> historyByTarget() {
        QMap<QString, QJsonObject> rows;
        const Finished h = run({"history", "--json"}, 10000);
        for (const QString& line : h.out.split('\n', Qt::SkipEmptyParts)) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            rows[o["ip"].toString() + '/' + o["mac"].toString()] = o;
        }
        return rows;
    }

    static NetnsPair* net_;
    static bool ready_;
    QTemporaryDir dir_;
    Bytes image_;
    std::vector<std::unique_ptr<QTemporaryDir>> dirs_;
    std::vector<std::unique_ptr<PrinterSimProcess>> sims_;
};

NetnsPair* NetworkMultiTest::net_ = nullptr;
bool NetworkMultiTest::ready_ = false;

TEST_F(NetworkMultiTest, TwoPrintersBehindTwoCardsEachGetTheirOwnAnswerAndTheWholeImage) {
    // Thinking 2 ms a frame, each printer takes longer than the other's first request can be
    // late by; one answered only after the other's link would finish alone.
    const QString file = programImage(100 * 1024);
    PrinterSimProcess& first =
        printer(false, {"--ip", NetnsPair::kPrinterIp, "--mac", kMac1, "--think", "2"});
    PrinterSimProcess& second =
        printer(true, {"--ip", NetnsPair::kPrinterIp2, "--mac", kMac2, "--think", "2"});

    const Finished r = run({"download", "--json", "--net", "--ip", NetnsPair::kPrinterIp, "--mac",
                            kMac1, "--ip", NetnsPair::kPrinterIp2, "--mac", kMac2, file},
                           60000);
    ASSERT_FALSE(r.timedOut) << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 0) << r.out.toStdString() << r.err.toStdString();

    const QString target1 = QStringLiteral("%1/%2").arg(NetnsPair::kPrinterIp, kMac1);
    const QString target2 = QStringLiteral("%1/%2").arg(NetnsPair::kPrinterIp2, kMac2);
    const auto done = lastByTarget(r.out, "done");
    EXPECT_EQ(done.value(target1)["result"], "completed") << r.out.toStdString();
    EXPECT_EQ(done.value(target2)["result"], "completed") << r.out.toStdString();
    const auto linked = lastByTarget(r.out, "linked");
    const double firstDone =
        std::min(done.value(target1)["t"].toDouble(), done.value(target2)["t"].toDouble());
    EXPECT_LT(linked.value(target1)["t"].toDouble(1e9), firstDone) << r.out.toStdString();
    EXPECT_LT(linked.value(target2)["t"].toDouble(1e9), firstDone) << r.out.toStdString();

    // Each printer's answer came through its own card: its own address (which the simulated
    // printer checks against yiaddr), and the card's address as the server's.
    const struct {
        PrinterSimProcess& sim;
        const char* serverIp;
    } printers[] = {{first, NetnsPair::kToolIp}, {second, NetnsPair::kToolIp2}};
    for (const auto& [sim, serverIp] : printers) {
        const QJsonObject report = sim.stop();
        EXPECT_TRUE(report["errors"].toArray().isEmpty())
            << QJsonDocument(report["errors"].toArray()).toJson().toStdString();
        EXPECT_EQ(report["bootp_replies"].toInt(), 1);
        EXPECT_EQ(report["server_ip"].toString(), serverIp);
        EXPECT_EQ(report["boot_file"].toString(), "fw.bin");
        EXPECT_TRUE(sim.received() == image_) << serverIp;
    }

    const auto history = historyByTarget();
    EXPECT_EQ(history.size(), 2);
    EXPECT_EQ(history.value(target1)["result"], "completed");
    EXPECT_EQ(history.value(target2)["result"], "completed");
}

TEST_F(NetworkMultiTest, APrinterNobodyAnswersFailsAtTheLinkTimeoutAndHoldsNoOneUp) {
    // The second printer's MAC is not the one given: its requests are not answered, and the
    // ports 67 and 69 the first one needs are shared, not taken.
    const QString file = programImage(20 * 1024);
    PrinterSimProcess& first = printer(false, {"--ip", NetnsPair::kPrinterIp, "--mac", kMac1});
    PrinterSimProcess& stranger =
        printer(true, {"--ip", NetnsPair::kPrinterIp2, "--mac", "00-11-22-33-44-77"});

    const Finished r =
        run({"download", "--json", "--link-timeout", "3", "--net", "--ip", NetnsPair::kPrinterIp,
             "--mac", kMac1, "--ip", NetnsPair::kPrinterIp2, "--mac", kMac2, file},
            30000);
    ASSERT_FALSE(r.timedOut) << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 1) << r.out.toStdString() << r.err.toStdString();
    const auto done = lastByTarget(r.out, "done");
    const QJsonObject ok = done.value(QStringLiteral("%1/%2").arg(NetnsPair::kPrinterIp, kMac1));
    const QJsonObject late = done.value(QStringLiteral("%1/%2").arg(NetnsPair::kPrinterIp2, kMac2));
    EXPECT_EQ(ok["result"], "completed") << r.out.toStdString();
    EXPECT_LT(ok["seconds"].toDouble(), 2.5);
    EXPECT_EQ(late["result"], "failed");
    EXPECT_EQ(late["cause"], "link-timeout");
    EXPECT_GE(late["seconds"].toDouble(), 2.9);

    first.stop();
    EXPECT_TRUE(first.received() == image_);
    const QJsonObject report = stranger.stop();
    EXPECT_GE(report["bootp_requests"].toInt(), 1);
    EXPECT_EQ(report["bootp_replies"].toInt(), 0);
    // Neither port stays taken once the run is over.
    QUdpSocket probe67, probe69;
    EXPECT_TRUE(probe67.bind(QHostAddress::AnyIPv4, 67));
    EXPECT_TRUE(probe69.bind(QHostAddress::AnyIPv4, 69));
}

} // namespace
} // namespace posflash
