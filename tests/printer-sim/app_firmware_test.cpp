#include "printer-sim/app_firmware.h"

#include "sim_frames.h"
#include "support/netns_pair.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <csignal>

namespace posflash::sim {
namespace {

using namespace testing;

const Bytes kBoot(kBootCommand.begin(), kBootCommand.end());
const Bytes kFontMode(kFontModeCommand.begin(), kFontModeCommand.end());

// TCP cuts and joins what the tool wrote as it likes; the tool only ever writes whole commands.
TEST(BootCommand, IsCountedOnceWhenWholeHoweverItArrives) {
    AppSession bytewise(10, false);
    int count = 0;
    for (std::size_t i = 0; i < kBoot.size(); ++i) {
        const AppStep step = bytewise.feed(ByteView(kBoot).subspan(i, 1));
        count += step.bootCommands;
        EXPECT_EQ(step.answer.empty(), i + 1 < kBoot.size()) << "byte " << i;
    }
    EXPECT_EQ(count, 1);

    AppSession joined(9, false);
    const AppStep step = joined.feed(join({Bytes{0x1F, 0x00, 0x1B}, kBoot, kBoot}));
    EXPECT_EQ(step.bootCommands, 2);
    EXPECT_EQ(step.answer.size(), 18u);

    // From the fixed-size command: GCC 12 -O3 warns on back() of a copy of kBoot.
    Bytes wrongEnd(kBootCommand.begin(), kBootCommand.end() - 1);
    wrongEnd.push_back(0x0D);
    AppSession nearMisses(10, false);
    EXPECT_EQ(nearMisses.feed(wrongEnd).bootCommands, 0);
    EXPECT_EQ(nearMisses.feed(Bytes(kBoot.begin(), kBoot.end() - 1)).bootCommands, 0);
    EXPECT_EQ(nearMisses.feed(Bytes{0x0B}).bootCommands, 0);
    EXPECT_EQ(nearMisses.feed(kBoot).bootCommands, 1); // nothing held blocks the next one
}

TEST(FontMode, EverythingAfterTheCommandGoesToTheBootLoaderEvenABootCommand) {
    const Bytes start = startFrame(0x81, patternImage(1500));
    AppSession session(10, false);
    session.feed(Bytes(kFontMode.begin(), kFontMode.begin() + 4));
    const AppStep entered = session.feed(join(
        {Bytes(kFontMode.begin() + 4, kFontMode.end()), Bytes(start.begin(), start.begin() + 7)}));
    EXPECT_TRUE(entered.enteredFontMode);
    EXPECT_EQ(entered.fontDownload, Bytes(start.begin(), start.begin() + 7));
    const AppStep step = session.feed(kBoot);
    EXPECT_EQ(step.fontDownload, kBoot);
    EXPECT_EQ(step.bootCommands, 0);
    EXPECT_TRUE(step.answer.empty());

    Bytes other = kFontMode;
    other[4] = 0x04;
    AppSession notFontMode(0, false);
    EXPECT_FALSE(notFontMode.feed(other).enteredFontMode);
    EXPECT_FALSE(notFontMode.inFontMode());
}

// A network printer that restarts after its download, in a namespace of its own: the tool's
// side here greets it, sends an image, and talks to the firmware it restarts into.
class Restart : public posflash::testing::NetnsSuite<> {
protected:
    // The next line the printer writes on stdout that is not a download's summary.
    static std::string said(QProcess& sim) {
        for (;;) {
            while (!sim.canReadLine())
                if (!sim.waitForReadyRead(10000))
                    return {};
            const QByteArray line = sim.readLine().trimmed();
            if (!line.startsWith("SESSION"))
                return line.toStdString();
        }
    }
    static QAbstractSocket::SocketError connectToFirmware(QTcpSocket& firmware) {
        firmware.connectToHost(posflash::testing::NetnsPair::kPrinterIp, 4000);
        return firmware.waitForConnected(5000) ? QAbstractSocket::UnknownSocketError
                                               : firmware.error();
    }
};

TEST_F(Restart, TheFirmwareAnswersAfterTheDownloadAndItsBootCommandBringsTheBootLoaderBack) {
    for (const char* after : {"300", "never"}) {
        SCOPED_TRACE(after);
        const bool comesBack = QLatin1String(after) != QLatin1String("never");
        QTemporaryDir dir;
        QUdpSocket greetings, frames;
        const QHostAddress tool(posflash::testing::NetnsPair::kToolIp);
        ASSERT_TRUE(greetings.bind(tool, 69) && frames.bind(tool, 0));
        QProcess sim;
        sim.start("ip",
                  net_->printerLauncher().mid(1) +
                      QStringList{POSFLASH_SIM_PATH, "net", "--ip",
                                  posflash::testing::NetnsPair::kPrinterIp, "--greet", "--host",
                                  posflash::testing::NetnsPair::kToolIp, "--restart-into-app",
                                  after, "--report", dir.filePath("report.json")});
        ASSERT_EQ(said(sim), "READY");
        const auto greeted = [&] {
            const bool got = greetings.waitForReadyRead(5000);
            while (greetings.hasPendingDatagrams())
                greetings.receiveDatagram();
            return got;
        };
        ASSERT_TRUE(greeted());
        const Bytes image = patternImage(100);
        for (const Bytes& frame :
             {startFrame(0x80, image), dataFrame(0x80, image, 1), closingFrame(0x80, 0x51, image),
              closingFrame(0x80, 0x56, image)}) {
            frames.writeDatagram(reinterpret_cast<const char*>(frame.data()),
                                 static_cast<qint64>(frame.size()),
                                 QHostAddress(posflash::testing::NetnsPair::kPrinterIp), 13633);
            ASSERT_TRUE(frames.waitForReadyRead(5000)) << "command " << int(frame[6]);
            EXPECT_EQ(frames.receiveDatagram().data().at(4), 0x04);
        }
        QTcpSocket firmware;
        if (comesBack) {
            EXPECT_EQ(said(sim), "APP");
            ASSERT_EQ(connectToFirmware(firmware), QAbstractSocket::UnknownSocketError);
            firmware.write(reinterpret_cast<const char*>(kBootCommand.data()),
                           static_cast<qint64>(kBootCommand.size()));
            ASSERT_TRUE(firmware.waitForBytesWritten(5000));
            firmware.disconnectFromHost();
            EXPECT_EQ(said(sim), "BOOT LOADER");
            EXPECT_TRUE(greeted()) << "the boot loader asks for its host again";
        }
        // In the boot loader, or never back: nothing listens on the firmware's port.
        QTcpSocket refused;
        EXPECT_EQ(connectToFirmware(refused), QAbstractSocket::ConnectionRefusedError);
        sim.terminate();
        ASSERT_TRUE(sim.waitForFinished(5000));
        QFile file(dir.filePath("report.json"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QJsonObject report = QJsonDocument::fromJson(file.readAll()).object();
        EXPECT_EQ(report["sessions_completed"].toInt(), 1);
        EXPECT_EQ(report["restarts_into_app"].toInt(), comesBack ? 1 : 0);
        EXPECT_EQ(report["restarts_into_boot_loader"].toInt(), comesBack ? 1 : 0);
        EXPECT_EQ(report["app_boot_commands"].toInt(), comesBack ? 1 : 0);
        EXPECT_TRUE(report["errors"].toArray().isEmpty())
            << QJsonDocument(report).toJson().toStdString();
    }
}

} // namespace
} // namespace posflash::sim
