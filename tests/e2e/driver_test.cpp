#include "base/userfunction.h"
#include "download/download_texts.h"
#include "link/link_texts.h"
#include "support/engine_fixture.h"

#include <QFile>

#include <gtest/gtest.h>

namespace posflash {
namespace {

class DriverTest : public ::testing::Test, protected testing::EngineParts {
protected:
    DriverTest() { engine.portModel().optPortSelect_Click(1); }
};

TEST_F(DriverTest, EmptyPathShowsFileNotOpenAndChangesNothingElse) {
    panel.labels.clear();
    engine.driver().btnDownloadFile_Click();
    EXPECT_EQ(panel.tips, QStringList{"File not open!"});
    EXPECT_TRUE(panel.labels.isEmpty());
    EXPECT_TRUE(panel.downloadEnabled);
    EXPECT_EQ(engine.driver().lastOutcome(), DownloadDriver::Outcome::NotStarted);
}

TEST_F(DriverTest, NoPrinterOnTheComPortFailsTheLinkInTheFaceInForce) {
    panel.programFile = dir.filePath("fw.bin");
    usb.list = {{"USB\\VID_0483&PID_5743\\A1", "/dev/null", "/dev/null"}}; // not a COM device
    engine.faces().setUseEnglish(true);
    engine.driver().btnDownloadFile_Click();
    ASSERT_GE(panel.labels.size(), 2);
    EXPECT_EQ(panel.labels.first(), "Establishing connection...");
    EXPECT_EQ(panel.label, "Failed to download, please check!");
    EXPECT_TRUE(panel.statusPanels.contains(" Downloading..."));
    EXPECT_TRUE(panel.downloadEnabled);
    EXPECT_FALSE(panel.cancelEnabled);
    EXPECT_EQ(engine.driver().lastOutcome(), DownloadDriver::Outcome::Failed);

    engine.faces().setUseEnglish(false);
    engine.driver().btnDownloadFile_Click();
    EXPECT_EQ(panel.label,
              QStringLiteral("下载失败,请检查是否在下载状态,电源是否正常,通信线是否插好!"));
}

TEST_F(DriverTest, NetworkLinkRefusesEmptyAddressesWithoutWaiting) {
    engine.portModel().optPortSelect_Click(0);
    panel.programFile = dir.filePath("fw.bin");
    panel.ip.clear();
    engine.driver().btnDownloadFile_Click();
    EXPECT_EQ(panel.tips.last(), QStringLiteral("IP 地址不能为空！"));
    EXPECT_EQ(panel.label,
              QStringLiteral("下载失败,请检查是否在下载状态,电源是否正常,通信线是否插好!"));
    panel.ip = "10.0.0.5";
    panel.mac.clear();
    engine.driver().btnDownloadFile_Click();
    EXPECT_EQ(panel.tips.last(), QStringLiteral("MAC 地址不能为空！"));
}

TEST_F(DriverTest, AnImageRefusedAfterTheLinkLeavesTheWindowIdleWithTheRefusal) {
    // The printer is present, so the link comes up and the image is judged just before the
    // start frame: the bytes that would be sent, whatever the path box held before.
    usb.list = {{"USB\\VID_0483&PID_5740\\A1", "/dev/null", "/dev/null"}};
    engine.faces().setUseEnglish(true);
    const QString sparse = dir.filePath("huge.bin");
    QFile(sparse).open(QIODevice::WriteOnly);
    QFile(sparse).resize(200LL << 30);
    const QString empty = dir.filePath("empty.bin");
    QFile(empty).open(QIODevice::WriteOnly);
    const QString corrupt = writeProgramImage(1000, "corrupt.bin");
    {
        QFile f(corrupt);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(10);
        f.write("\x55", 1);
    }
    const struct {
        QString path;
        QString text;
    } cases[] = {
        {dir.filePath("missing.bin"), "Cannot read the file " + dir.filePath("missing.bin") + "."},
        {empty, "The file is empty: there is nothing to download."},
        {sparse, "The file is too large: the printer accepts at most 32767 frames."},
        {corrupt, "Error opening the file, please try again!"},
        {"/dev/zero", "Cannot read the file /dev/zero."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        panel.programFile = c.path;
        panel.tips.clear();
        QString labelAfterBox;
        panel.whileTipsOpen = [&] {
            DelayMs(engine.waits(), 350); // the elapsed timer ticks every 100 ms
            labelAfterBox = panel.label;
        };
        engine.driver().btnDownloadFile_Click();
        EXPECT_EQ(engine.driver().lastOutcome(), DownloadDriver::Outcome::Refused);
        EXPECT_EQ(panel.tips, QStringList{c.text});
        EXPECT_EQ(labelAfterBox, c.text);
        DelayMs(engine.waits(), 250);
        EXPECT_EQ(panel.label, c.text);
        EXPECT_EQ(panel.statusPanel, " Download failed!");
        EXPECT_TRUE(panel.downloadEnabled);
        EXPECT_TRUE(panel.appToBootEnabled);
        EXPECT_FALSE(panel.cancelEnabled);
    }
}

TEST_F(DriverTest, CancelWhileIdleLeavesTheTextsAlone) {
    panel.label = "idle...";
    engine.driver().cmdCancel_Click();
    EXPECT_EQ(panel.label, "idle...");
    EXPECT_FALSE(engine.link().state().AbortRequested);
}

} // namespace
} // namespace posflash
