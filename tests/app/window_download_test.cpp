#include "history/history_store.h"
#include "support/printer_sim_process.h"
#include "window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <functional>

namespace posflash::testing {
namespace {

// Downloads clicked through the window to the simulated printer on a pseudo-terminal, which
// the settings put on COM3 with "USB" selected.
class WindowDownloadTest : public WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start());
        WriteFile(comPortsPath(), "[ports]\nCOM3=" + sim.link().toUtf8() + "\n");
        usb.list = {{"USB\\VID_0483&PID_5740\\SIM", sim.link(), sim.link()}};
    }
    void TearDown() override { window.reset(); }

    void startWith(const QString& program, const QByteArray& moreMsg = {}) {
        writeSettings("[MSG]\nfirst=false\nfilepath=" + program.toUtf8() + "\n" + moreMsg +
                      "[SERIAL]\nCOM=2\n[PORT]\nComboPort=1\n");
        start();
        auto& bar = control<QProgressBar>("ProgressBar1");
        QObject::connect(&bar, &QProgressBar::valueChanged, window.get(), [this](int value) {
            progressPeak = std::max(progressPeak, value);
            if (value > 0) // not the reset at the end
                labels << control<QLabel>("lblStatus").text();
            cancelShownWhileRunning =
                cancelShownWhileRunning && !hidden("cmdCancel") && control("cmdCancel").isEnabled();
            downloadDisabledWhileRunning =
                downloadDisabledWhileRunning && !control("btnDownloadFile").isEnabled();
            if (onProgress)
                onProgress(value);
        });
    }
    // Clicks download and lets the events run until the download has ended.
    void clickDownload(const char* button = "btnDownloadFile") {
        progressPeak = 0;
        labels.clear();
        control<QPushButton>(button).click();
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->engine().isDownloading(); }, 30000));
    }
    QString text(const char* name) const { return control<QLabel>(name).text(); }

    PrinterSimProcess sim{files};
    int progressPeak = 0;
    QStringList labels;
    bool cancelShownWhileRunning = true;
    bool downloadDisabledWhileRunning = true;
    std::function<void(int)> onProgress;
};

// A download in the Chinese face, then two in the English one around a Clear; the stored total
// goes on from the five before.
TEST_F(WindowDownloadTest, FullDownloadsShowProgressAndAreCountedAndRecorded) {
    usb.list[0].serial = "SIM";
    startWith(writeProgramFile(20000), "total=5\n"); // 40 frames
    clickDownload();

    EXPECT_EQ(window->presenter().lastResult()->outcome, Outcome::Completed)
        << text("lblStatus").toStdString();
    EXPECT_TRUE(text("lblStatus").startsWith(QStringLiteral("耗时: ")));
    EXPECT_TRUE(text("lblStatus").endsWith(QStringLiteral("秒, 下载完成！")));
    EXPECT_EQ(text("ShowStatus_0"), QStringLiteral(" 下载完成"));
    EXPECT_TRUE(labels.first().startsWith(QStringLiteral("正在下载第0帧，总共40帧, 耗时")));
    EXPECT_TRUE(labels.last().startsWith(QStringLiteral("正在下载第39帧，总共40帧, 耗时")));
    EXPECT_EQ(progressPeak, 40);
    EXPECT_EQ(control<QProgressBar>("ProgressBar1").maximum(), 40);
    EXPECT_EQ(control<QProgressBar>("ProgressBar1").value(), 0);
    EXPECT_EQ(text("lblTotal"), "1");
    EXPECT_EQ(stored("MSG", "total"), "6");
    EXPECT_TRUE(cancelShownWhileRunning);
    EXPECT_TRUE(downloadDisabledWhileRunning);
    EXPECT_TRUE(hidden("cmdCancel"));
    EXPECT_TRUE(control("btnDownloadFile").isEnabled());
    EXPECT_FALSE(window->engine().serialOpen());

    clickDownload("btnDownloadFontFile"); // no font chosen: nothing runs
    window->history().finish();           // written off the window's thread
    const auto read = HistoryStore(dataHome.filePath("posflash/history.db")).recent(0);
    ASSERT_TRUE(read.ok());
    const std::vector<HistoryRecord>& records = *read;
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].frontEnd, "window");
    EXPECT_EQ(records[0].outcome, "completed");
    EXPECT_EQ(records[0].sha256.size(), 32);
    EXPECT_EQ(records[0].printer.comNumber, 3);
    EXPECT_EQ(records[0].printer.node, sim.link());
    EXPECT_EQ(records[0].printer.usbSerial, "SIM");
    EXPECT_EQ(records[0].frames, 40);
    EXPECT_EQ(records[0].fileSize, 20000);

    // Clear resets only the count since start, not the stored total.
    control<QCheckBox>("chkEnglish").click();
    clickDownload();
    EXPECT_EQ(text("lblTotal"), "2");
    EXPECT_EQ(stored("MSG", "total"), "7");
    EXPECT_TRUE(text("lblStatus").endsWith(" Seconds, Complete!"))
        << text("lblStatus").toStdString();
    control<QPushButton>("Command2").click();
    EXPECT_EQ(text("lblTotal"), "0");
    EXPECT_EQ(stored("MSG", "total"), "7");
    clickDownload();
    EXPECT_EQ(text("lblTotal"), "1");
    EXPECT_EQ(stored("MSG", "total"), "8");
}

// A cancel stops before the next data frame, after that frame's text and progress step, whether
// the start frame or data frame 3 of 10 awaited its answer; by the button or Esc, in both faces.
TEST_F(WindowDownloadTest, ACancelShowsTheDataFrameItStoppedBeforeAndCountsNothing) {
    startWith(writeProgramFile(5000)); // 10 frames
    window->show();
    QApplication::setActiveWindow(window.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    // The status panel blanks as each frame goes to the serial line; the first is the start frame.
    struct : QObject {
        std::function<void()> blanked;
        bool eventFilter(QObject* label, QEvent* e) override {
            if (e->type() == QEvent::ToolTipChange &&
                static_cast<QWidget*>(label)->toolTip().isEmpty())
                blanked();
            return false;
        }
    } panelWatch;
    control("ShowStatus_0").installEventFilter(&panelWatch);
    // handedOver: the frames handed over when the cancel comes; stopped: the data frame, from 0,
    // that the status text names at the stop, and how many data frames the printer got
    // clang-format off
    const struct { bool english; bool escape; int handedOver; int stopped; const char* frameText; } cases[] = {
        {false, false, 1, 0, "正在下载第%1帧，总共10帧, 耗时@秒"},
        {false, true, 4, 3, "正在下载第%1帧，总共10帧, 耗时@秒"},
        {true, true, 1, 0, "Downloading NO.%1 ,Total: 10, Time consuming @ Seconds"},
        {true, false, 4, 3, "Downloading NO.%1 ,Total: 10, Time consuming @ Seconds"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "english " << c.english << ", Esc " << c.escape
                                          << ", after frame " << c.handedOver);
        control<QCheckBox>("chkEnglish").setChecked(c.english);
        int handedOver = 0;
        panelWatch.blanked = [&] {
            if (++handedOver != c.handedOver)
                return;
            if (c.escape)
                QTest::keyClick(window.get(), Qt::Key_Escape);
            else
                control<QPushButton>("cmdCancel").click();
        };
        clickDownload();
        const QStringList around = QString::fromUtf8(c.frameText).arg(c.stopped).split('@');
        const QRegularExpression shown(QRegularExpression::anchoredPattern(
            QRegularExpression::escape(around[0]) + R"(\d+(\.\d)?)" +
            QRegularExpression::escape(around[1])));
        EXPECT_EQ(window->presenter().lastResult()->outcome, Outcome::Cancelled);
        EXPECT_EQ(progressPeak, c.stopped + 1);
        EXPECT_TRUE(shown.match(labels.value(labels.size() - 1)).hasMatch())
            << labels.join('|').toStdString();
        EXPECT_EQ(text("lblStatus"), labels.value(labels.size() - 1));
        EXPECT_EQ(text("ShowStatus_0"), QStringLiteral(" 停止下载"));
        EXPECT_EQ(control<QProgressBar>("ProgressBar1").maximum(), 10);
        EXPECT_EQ(control<QProgressBar>("ProgressBar1").value(), 0);
        EXPECT_EQ(text("lblTotal"), "0");
        EXPECT_EQ(stored("MSG", "total"), "");
        EXPECT_TRUE(hidden("cmdCancel"));
        EXPECT_EQ(sim.stop()["data_frames"].toInt(), c.stopped);
        ASSERT_TRUE(sim.start());
    }
}

TEST_F(WindowDownloadTest, ClosingTheWindowDuringADownloadEndsItAndQuits) {
    startWith(writeProgramFile(20000));
    window->show();
    onProgress = [this](int value) {
        if (value == 3)
            QTimer::singleShot(0, window.get(), &QWidget::close);
    };
    QApplication::setQuitOnLastWindowClosed(true);
    QTimer::singleShot(0, window.get(),
                       [this] { control<QPushButton>("btnDownloadFile").click(); });
    // A hang would leave exec() running; this ends it with a code the test rejects.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    guard.start(20000);
    const int code = QApplication::exec();
    QApplication::setQuitOnLastWindowClosed(false);

    EXPECT_EQ(code, 0);
    EXPECT_FALSE(window->engine().isDownloading());
    EXPECT_FALSE(window->engine().serialOpen());
    EXPECT_TRUE(tips.isEmpty());
    EXPECT_EQ(stored("MSG", "total"), "");
    EXPECT_LT(sim.stop()["data_frames"].toInt(), 40);
}

} // namespace
} // namespace posflash::testing
