#include "support/engine_fixture.h"
#include "support/printer_sim_process.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace posflash {
namespace {

using testing::PrinterSimProcess;
using Outcome = DownloadDriver::Outcome;

// A whole download from the engine to the simulated printer on a pseudo-terminal.
class SerialDownloadTest : public ::testing::Test, protected testing::EngineParts {
protected:
    SerialDownloadTest() : sim(dir) { engine.faces().setUseEnglish(true); }

    void startPrinter(const QStringList& faults = {}) {
        ASSERT_TRUE(sim.start(faults));
        map.setMapping(3, sim.link());
        usb.list = {{"USB\\VID_0483&PID_5740\\SIM0001", sim.link(), sim.link()}};
        engine.portModel().setBaudIndex(7);
        engine.portModel().selectComIndex(2);
        engine.portModel().optPortSelect_Click(1);
    }

    static int copiesOf(const QJsonObject& report, int frameNo) {
        return report["last_session"]
            .toObject()["frame_copies"]
            .toObject()[QString::number(frameNo)]
            .toInt();
    }

    PrinterSimProcess sim;
};

QString frameText(int i, int n) {
    return QStringLiteral("Downloading NO.%1 ,Total: %2, Time consuming ").arg(i).arg(n);
}

// The window's download test checks what the panel shows on the way.
TEST_F(SerialDownloadTest, ProgramImageArrivesByteIdenticalInOneSession) {
    startPrinter();
    panel.programFile = writeProgramImage(1000);
    engine.driver().btnDownloadFile_Click();
    EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Completed) << panel.label.toStdString();
    const QJsonObject report = sim.stop();
    EXPECT_EQ(sim.received(), written);
    EXPECT_TRUE(report["errors"].toArray().isEmpty())
        << QJsonDocument(report).toJson().toStdString();
    EXPECT_EQ(report["sessions"].toArray().size(), 1);
}

TEST_F(SerialDownloadTest, FontImageTravelsIn1024ByteFramesOfKind81) {
    startPrinter();
    panel.fontBoot = false; // on a COM port the font still goes over the COM port
    panel.fontFile = writeProgramImage(3000, "font.bin");
    engine.faces().setUseEnglish(false);
    engine.driver().btnDownloadFontFile_Click();

    EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Completed);
    EXPECT_EQ(panel.labels.filter(QStringLiteral("正在下载第0帧，总共3帧")).size(), 1);
    EXPECT_TRUE(panel.label.endsWith(QStringLiteral("秒, 下载完成！")));
    EXPECT_FALSE(engine.link().state().FontDownload);
    const QJsonObject report = sim.stop();
    EXPECT_EQ(sim.received(), written);
    const QJsonObject session = report["sessions"].toArray().first().toObject();
    EXPECT_EQ(session["kind_byte"].toInt(), 0x81);
    EXPECT_TRUE(report["errors"].toArray().isEmpty());
}

TEST_F(SerialDownloadTest, SilentPrinterGetsTheStartFrameThreeTimesThenFailure) {
    startPrinter({"--silent"});
    panel.programFile = writeProgramImage(1000);
    QElapsedTimer clock;
    clock.start();
    engine.driver().btnDownloadFile_Click();
    EXPECT_GE(clock.elapsed(), 9000);
    EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Failed);
    EXPECT_EQ(panel.label, "Download failed!");
    EXPECT_EQ(panel.tips, QStringList{"Download failed!"});
    EXPECT_EQ(panel.downloadCount, 0);
    const QJsonObject report = sim.stop();
    EXPECT_EQ(report["start_frames"].toInt(), 3);
    EXPECT_EQ(report["data_frames"].toInt(), 0);
}

TEST_F(SerialDownloadTest, UnansweredDataFrameIsSentThreeTimesAbout350msApart) {
    startPrinter({"--drop", "1:3"});
    panel.programFile = writeProgramImage(1000);
    QElapsedTimer clock;
    panel.setStatusLabel(""); // keep the recorder's first label meaningful
    panel.onLabel = [&](const QString& t) {
        if (t.startsWith(frameText(0, 2)))
            clock.start();
    };
    engine.driver().btnDownloadFile_Click();
    const qint64 spent = clock.elapsed();
    EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Failed);
    EXPECT_EQ(panel.label, "Download failed!");
    EXPECT_GE(spent, 1050);
    EXPECT_LT(spent, 1800);
    const QJsonObject report = sim.stop();
    EXPECT_EQ(copiesOf(report, 1), 3);
    EXPECT_EQ(copiesOf(report, 2), 0);
    EXPECT_EQ(report["end_frames"].toInt(), 0);
}

TEST_F(SerialDownloadTest, RefusalsWrongNumbersAndLateAcceptancesAreRiddenOut) {
    // Frame 2 is refused twice; frame 3 is first acknowledged with the previous number, which
    // is ignored; the answer to frame 4 comes 400 ms after each copy: the first lands in the
    // second attempt's wait, and the answer to the repeat carries the old number.
    startPrinter({"--refuse", "2:5:2", "--wrong-no", "3", "--late", "4:400"});
    panel.programFile = writeProgramImage(2500);
    engine.driver().btnDownloadFile_Click();
    EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Completed) << panel.label.toStdString();
    const QJsonObject report = sim.stop();
    EXPECT_EQ(copiesOf(report, 2), 3);
    EXPECT_EQ(copiesOf(report, 3), 2);
    EXPECT_EQ(copiesOf(report, 4), 2);
    EXPECT_EQ(copiesOf(report, 5), 1);
    EXPECT_EQ(sim.received(), written);
}

TEST_F(SerialDownloadTest, CancelWhileFrameThreeWaitsStopsBeforeFrameFourAndNextDownloadWorks) {
    startPrinter({"--late", "3:250"});
    panel.programFile = writeProgramImage(10 * 512 - 100);
    panel.onLabel = [&](const QString& t) {
        if (t.startsWith(frameText(2, 10)))
            QTimer::singleShot(100, [&] { engine.driver().cmdCancel_Click(); });
    };
    engine.driver().btnDownloadFile_Click();
    panel.onLabel = nullptr;

    EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Cancelled);
    EXPECT_TRUE(panel.label.startsWith(frameText(3, 10))) << panel.label.toStdString();
    EXPECT_TRUE(panel.labels.contains("idel"));
    EXPECT_TRUE(panel.statusPanels.contains(QStringLiteral(" 停止下载")));
    EXPECT_EQ(panel.progress, 0);
    EXPECT_EQ(panel.downloadCount, 0);
    EXPECT_TRUE(settings.GetIniString("MSG", "total").isEmpty());
    EXPECT_EQ(copiesOf(sim.report(), 4), 0);

    // The link step clears the cancel: the next download runs to the end.
    engine.driver().btnDownloadFile_Click();
    EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Completed) << panel.label.toStdString();
    EXPECT_EQ(panel.downloadCount, 1);
    sim.stop();
    EXPECT_EQ(sim.received(), written);
}

TEST_F(SerialDownloadTest, BootCommandAndASecondDownloadAreRefusedWhileADownloadRuns) {
    // Either would take over the line: the boot command diverts frames to the raw USB node,
    // a second driver shares the frames and the port.
    startPrinter({"--think", "20"});
    panel.fontFile = writeProgramImage(3000, "font.bin");
    panel.programFile = writeProgramImage(4 * 512);
    const Bytes program = written;
    bool pressed = false;
    bool appToBootDisabled = false;
    panel.onLabel = [&](const QString& t) {
        if (pressed || !t.startsWith(frameText(1, 4)))
            return;
        pressed = true;
        appToBootDisabled = !panel.appToBootEnabled;
        engine.appToBoot().cmdAppToBoot_Click();
        EXPECT_FALSE(engine.portModel().appToBootActive());
        engine.driver().btnDownloadFontFile_Click();
    };
    engine.driver().btnDownloadFile_Click();
    panel.onLabel = nullptr;

    EXPECT_TRUE(pressed);
    EXPECT_TRUE(appToBootDisabled);
    EXPECT_TRUE(panel.appToBootEnabled);
    EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Completed) << panel.label.toStdString();
    EXPECT_EQ(panel.downloadCount, 1);
    const QJsonObject report = sim.stop();
    EXPECT_EQ(report["sessions"].toArray().size(), 1);
    EXPECT_EQ(sim.received(), program);
}

TEST_F(SerialDownloadTest, PrinterVanishingMidDownloadFailsCleanly) {
    startPrinter({"--disconnect-after", "3"});
    panel.programFile = writeProgramImage(10 * 512);
    QElapsedTimer clock;
    clock.start();
    engine.driver().btnDownloadFile_Click();
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(engine.driver().lastOutcome(), Outcome::Failed);
    EXPECT_EQ(panel.label, "Download failed!");
    EXPECT_FALSE(engine.serial().PortOpen());
    EXPECT_TRUE(panel.downloadEnabled);
    EXPECT_TRUE(sim.waitForExit(5000));
}

} // namespace
} // namespace posflash
