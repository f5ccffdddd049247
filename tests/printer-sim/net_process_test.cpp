// The network modes as the tool meets them: a process, UDP and TCP sockets. Every test runs
// in a network namespace of its own (the binary starts itself again under unshare), so no
// packet, broadcasts included, leaves the loopback interface of that namespace.

#include "sim_frames.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

QT_BEGIN_NAMESPACE
void PrintTo(const QHostAddress& address, std::ostream* os) {
    *os << address.toString().toStdString();
}
QT_END_NAMESPACE

namespace posflash::sim {
namespace {

using namespace testing;

constexpr const char* kInsideMarker = "PRINTER_SIM_TEST_IN_NETNS";
const QHostAddress kPrinter(QStringLiteral("127.0.0.2"));
const QHostAddress kHost(QStringLiteral("127.0.0.1"));
const Bytes kBootCommand{0x1F, 0x1B, 0x1C, 0x06, 0xFF, 0x62, 0x6F, 0x6F, 0x74, 0x08, 0x0A};
const Bytes kFontModeCommand{0x1F, 0x1B, 0x1C, 0x06, 0x03, 0x80, 0xF0, 0x00, 0x00, 0x00, 0x00};

QByteArray qbytes(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

Bytes bytesOf(const QByteArray& q) {
    return Bytes(q.begin(), q.end());
}

bool bringLoopbackUp() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = fd >= 0 && ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags |= IFF_UP;
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    if (fd >= 0)
        ::close(fd);
    return up;
}

class NetNamespace : public ::testing::Test {
protected:
    // Outside the namespace: runs this one test again inside a fresh one and takes its verdict.
    void SetUp() override {
        if (qEnvironmentVariableIsSet(kInsideMarker)) {
            ASSERT_TRUE(bringLoopbackUp());
            ASSERT_TRUE(dir.isValid());
            return;
        }
        outside = true;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        QProcess inner;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(kInsideMarker, "1");
        inner.setProcessEnvironment(env);
        inner.setProcessChannelMode(QProcess::MergedChannels);
        inner.start(
            "unshare",
            {"--user", "--map-root-user", "--net", QCoreApplication::applicationFilePath(),
             QStringLiteral("--gtest_filter=%1.%2").arg(info->test_suite_name(), info->name())});
        if (!inner.waitForStarted(5000))
            GTEST_SKIP() << "unshare is not available";
        ASSERT_TRUE(inner.waitForFinished(60000));
        const QByteArray output = inner.readAll();
        if (!output.contains("[==========]"))
            GTEST_SKIP() << "no network namespace here: " << output.toStdString();
        EXPECT_EQ(inner.exitCode(), 0) << output.toStdString();
        EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
    }

    void TearDown() override {
        if (sim.state() != QProcess::NotRunning) {
            sim.kill();
            sim.waitForFinished(2000);
        }
    }

    void start(const QStringList& args) {
        sim.start(QStringLiteral(PRINTER_SIM_PATH), args + QStringList{"--report", report()});
        ASSERT_TRUE(sim.waitForStarted(5000));
        while (!sim.canReadLine())
            ASSERT_TRUE(sim.waitForReadyRead(5000)) << sim.readAllStandardError().toStdString();
        ASSERT_EQ(sim.readLine(), "READY\n");
    }

    int stop() {
        ::kill(static_cast<pid_t>(sim.processId()), SIGTERM);
        EXPECT_TRUE(sim.waitForFinished(5000));
        return sim.exitCode();
    }

    QJsonObject reportJson() const {
        QFile f(report());
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                           : QJsonObject{};
    }

    QString report() const { return dir.filePath("report.json"); }
    QString out() const { return dir.filePath("image.bin"); }

    bool outside = false;
    QTemporaryDir dir;
    QProcess sim;
};

std::optional<QNetworkDatagram> next(QUdpSocket& socket, int waitMs = 3000) {
    if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(waitMs))
        return std::nullopt;
    return socket.receiveDatagram();
}

QUdpSocket* bound(QUdpSocket& socket, quint16 port) {
    EXPECT_TRUE(socket.bind(QHostAddress::AnyIPv4, port)) << socket.errorString().toStdString();
    return &socket;
}

// What a correct server makes of the request.
QNetworkDatagram bootpReply(const QNetworkDatagram& request, const char* file) {
    QByteArray reply = request.data();
    reply[4] = 2;
    const quint32 printer = kPrinter.toIPv4Address();
    const quint32 host = kHost.toIPv4Address();
    for (int i = 0; i < 4; ++i) {
        reply[20 + i] = static_cast<char>(printer >> (24 - 8 * i));
        reply[24 + i] = static_cast<char>(host >> (24 - 8 * i));
    }
    reply.replace(112, static_cast<qsizetype>(std::strlen(file)), file);
    QNetworkDatagram answer(reply, QHostAddress::Broadcast, 68);
    answer.setInterfaceIndex(request.interfaceIndex());
    return answer;
}

Bytes roundTrip(QUdpSocket& tool, const Bytes& frame) {
    tool.writeDatagram(qbytes(frame), kPrinter, 13633);
    const auto reply = next(tool);
    if (!reply)
        return {};
    EXPECT_EQ(reply->senderAddress(), kPrinter);
    EXPECT_EQ(reply->senderPort(), 13633);
    return bytesOf(reply->data());
}

// --- The boot loader on Ethernet ----------------------------------------------------------------

TEST_F(NetNamespace, BootpLinkThenProgramDownloadOverUdp) {
    if (outside)
        return;
    QUdpSocket server, linkPort, tool;
    bound(server, 67);
    bound(linkPort, 69);
    bound(tool, 0);
    start({"net", "--ip", "127.0.0.2", "--mac", "00-11-22-33-44-55", "--out", out(), "--once"});

    const auto request = next(server);
    ASSERT_TRUE(request);
    const QByteArray r = request->data();
    ASSERT_EQ(r.size(), 304);
    EXPECT_EQ(r.left(7), QByteArray::fromHex("1f1b1c06010106"));
    EXPECT_EQ(r.mid(32, 6), QByteArray::fromHex("001122334455"));
    EXPECT_EQ(r.mid(48, 8), QByteArray("V-ORBIT\0", 8));
    EXPECT_EQ(request->destinationPort(), 67);
    server.writeDatagram(bootpReply(*request, "fw.bin"));

    const auto link = next(linkPort);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->senderAddress(), kPrinter);
    EXPECT_EQ(link->senderPort(), 13633);

    const Bytes image = patternImage(1000);
    EXPECT_EQ(roundTrip(tool, startFrame(0x80, image)).at(4), 0x04);
    EXPECT_EQ(roundTrip(tool, dataFrame(0x80, image, 1)).at(11), 1);
    EXPECT_EQ(roundTrip(tool, dataFrame(0x80, image, 2)).at(11), 2);
    EXPECT_EQ(roundTrip(tool, closingFrame(0x80, 0x51, image)).at(6), 0x51);
    EXPECT_EQ(roundTrip(tool, closingFrame(0x80, 0x56, image)).at(6), 0x56);

    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().toStdString();
    QFile received(out());
    ASSERT_TRUE(received.open(QIODevice::ReadOnly));
    EXPECT_EQ(bytesOf(received.readAll()), image);
    const QJsonObject json = reportJson();
    EXPECT_TRUE(json["errors"].toArray().isEmpty()) << QJsonDocument(json).toJson().toStdString();
    EXPECT_EQ(json["server_ip"].toString(), "127.0.0.1");
    EXPECT_EQ(json["boot_file"].toString(), "fw.bin");
    EXPECT_EQ(json["bootp_replies"].toInt(), 1);
    EXPECT_TRUE(json["linked"].toBool());
    EXPECT_EQ(json["sessions_completed"].toInt(), 1);
    const QJsonArray senders = json["frame_senders"].toArray();
    ASSERT_EQ(senders.size(), 1);
    EXPECT_TRUE(senders[0].toString().endsWith(QStringLiteral(":%1").arg(tool.localPort())));
}

TEST_F(NetNamespace, ReplyWithAnotherXidIsAnErrorAndThePrinterAsksAgain) {
    if (outside)
        return;
    QUdpSocket server, linkPort;
    bound(server, 67);
    bound(linkPort, 69);
    start({"net", "--ip", "127.0.0.2", "--mac", "00-11-22-33-44-55"});

    const auto first = next(server);
    ASSERT_TRUE(first);
    QNetworkDatagram wrong = bootpReply(*first, "fw.bin");
    QByteArray bytes = wrong.data();
    bytes[8] = static_cast<char>(bytes[8] ^ 0x01);
    wrong.setData(bytes);
    server.writeDatagram(wrong);

    const auto again = next(server, 2500); // the printer's retry after a second
    ASSERT_TRUE(again);
    EXPECT_EQ(again->data(), first->data());
    EXPECT_FALSE(linkPort.waitForReadyRead(200));

    EXPECT_EQ(stop(), 1);
    const QJsonObject json = reportJson();
    EXPECT_FALSE(json["linked"].toBool());
    EXPECT_EQ(json["bootp_replies"].toInt(), 1);
    EXPECT_GE(json["bootp_requests"].toInt(), 2);
    EXPECT_TRUE(json["server_ip"].isNull());
    ASSERT_EQ(json["errors"].toArray().size(), 1);
    EXPECT_TRUE(json["errors"][0].toString().contains("xid"));
}

TEST_F(NetNamespace, GreetingLinksWithoutBootpAndFramesAreAnsweredToTheirSender) {
    if (outside)
        return;
    QUdpSocket linkPort;
    bound(linkPort, 69);
    start({"net", "--ip", "127.0.0.2", "--greet", "--host", "127.0.0.1"});

    const auto greeting = next(linkPort);
    ASSERT_TRUE(greeting);
    EXPECT_EQ(greeting->data(), QByteArray::fromHex("1f1b1c06010000000000 00"));
    EXPECT_EQ(greeting->senderPort(), 13633);
    // The tool's link socket stays on port 69 and sends the frames from there.
    EXPECT_EQ(roundTrip(linkPort, startFrame(0x80, patternImage(1000))).at(4), 0x04);

    EXPECT_EQ(stop(), 0);
    const QJsonObject json = reportJson();
    EXPECT_TRUE(json["linked"].toBool());
    EXPECT_GE(json["greetings_sent"].toInt(), 1);
    EXPECT_EQ(json["bootp_requests"].toInt(), 0);
}

TEST_F(NetNamespace, TakenPortGivesAMessageAndExit2) {
    if (outside)
        return;
    QUdpSocket squatter;
    bound(squatter, 68);
    sim.start(QStringLiteral(PRINTER_SIM_PATH),
              {"net", "--ip", "127.0.0.2", "--mac", "00-11-22-33-44-55"});
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 2);
    EXPECT_TRUE(sim.readAllStandardError().contains("port 68"));
    EXPECT_TRUE(sim.readAllStandardOutput().isEmpty()); // never READY
}

// --- The application firmware -------------------------------------------------------------------

Bytes readExactly(QTcpSocket& socket, qint64 n) {
    QByteArray got;
    while (got.size() < n && (socket.bytesAvailable() > 0 || socket.waitForReadyRead(3000)))
        got += socket.read(n - got.size());
    return bytesOf(got);
}

TEST_F(NetNamespace, BootCommandIsEchoedThenAFontDownloadRunsOverTcp) {
    if (outside)
        return;
    start({"app", "--ip", "127.0.0.2", "--echo", "10", "--out", out(), "--once"});

    QTcpSocket monitor;
    monitor.connectToHost(kPrinter, 4000);
    ASSERT_TRUE(monitor.waitForConnected(3000));
    monitor.write(qbytes(kBootCommand));
    EXPECT_EQ(readExactly(monitor, 10), Bytes(kBootCommand.begin(), kBootCommand.begin() + 10));
    monitor.disconnectFromHost();

    QTcpSocket font;
    font.connectToHost(kPrinter, 4000);
    ASSERT_TRUE(font.waitForConnected(3000));
    font.write(qbytes(kFontModeCommand));
    EXPECT_EQ(readExactly(font, 13), Bytes({0x1F, 0x1B, 0x1C, 0x06, 0x04, 0x80, 0xF0, 0x02, 0x00,
                                            0x00, 0x00, 0x00, 0x00}));
    const Bytes image = patternImage(1500);
    const auto send = [&](const Bytes& frame, qint64 replySize) {
        // A byte stream: the frame goes in two pieces, the first cut inside the header.
        font.write(qbytes(Bytes(frame.begin(), frame.begin() + 5)));
        font.flush();
        font.write(qbytes(Bytes(frame.begin() + 5, frame.end())));
        return readExactly(font, replySize);
    };
    EXPECT_EQ(send(startFrame(0x81, image), 11).at(4), 0x04);
    EXPECT_EQ(send(dataFrame(0x81, image, 1), 13).at(11), 1);
    EXPECT_EQ(send(dataFrame(0x81, image, 2), 13).at(11), 2);
    EXPECT_EQ(send(closingFrame(0x81, 0x51, image), 11).at(6), 0x51);
    EXPECT_EQ(send(closingFrame(0x81, 0x56, image), 11).at(6), 0x56);

    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 0) << sim.readAllStandardError().toStdString();
    QFile received(out());
    ASSERT_TRUE(received.open(QIODevice::ReadOnly));
    EXPECT_EQ(bytesOf(received.readAll()), image);
    const QJsonObject json = reportJson();
    EXPECT_TRUE(json["errors"].toArray().isEmpty()) << QJsonDocument(json).toJson().toStdString();
    EXPECT_EQ(json["app_connections"].toInt(), 2);
    EXPECT_EQ(json["app_boot_commands"].toInt(), 1);
    EXPECT_EQ(json["app_font_mode_commands"].toInt(), 1);
    EXPECT_EQ(json["app_received_hex"][0].toString(), "1f1b1c06ff626f6f74080a");
    ASSERT_FALSE(json["app_close_after_command_ms"].isNull());
    EXPECT_LT(json["app_close_after_command_ms"].toInt(), 1000);
    EXPECT_EQ(json["last_session"]["kind"].toString(), "font");
}

TEST_F(NetNamespace, ClosingTimeIsMeasuredFromTheBootCommand) {
    if (outside)
        return;
    start({"app", "--ip", "127.0.0.2"});
    QTcpSocket monitor;
    monitor.connectToHost(kPrinter, 4000);
    ASSERT_TRUE(monitor.waitForConnected(3000));
    monitor.write(qbytes(kBootCommand));
    monitor.flush();
    // No echo asked for: the tool closes on its own time.
    EXPECT_FALSE(monitor.waitForReadyRead(600));
    monitor.disconnectFromHost();

    EXPECT_EQ(stop(), 0);
    const QJsonObject json = reportJson();
    EXPECT_GE(json["app_close_after_command_ms"].toInt(), 550);
    EXPECT_LT(json["app_close_after_command_ms"].toInt(), 3000);
}

} // namespace
} // namespace posflash::sim
