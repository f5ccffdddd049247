// The window's reading of a download, fed the engine's events directly: which texts, boxes,
// counters and buttons each ending gives.
#include "app/download_presenter.h"
#include "base/faces.h"
#include "base/ini_store.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace posflash {
namespace {

// Remembers what the window would show.
struct RecordingPanel : Panel {
    void setStatusLabel(const QString& t) override { labels << t; }
    void setStatusPanel(const QString& t) override { panels << t; }
    void showTipsBox(const QString& prompt, int style) override {
        tips << prompt;
        // The label is shown before the box unless the box comes first.
        tipsAfterLabels.push_back(static_cast<int>(labels.size()));
        EXPECT_EQ(style, 1);
    }
    void setProgressMax(int m) override { progressMax = m; }
    void setProgressValue(int v) override { progress = v; }
    void setDownloadCount(int c) override { count = c; }
    void setDownloadEnabled(bool e) override { downloadEnabled = e; }
    void setCancelEnabled(bool e) override { cancelEnabled = e; }
    void setAppToBootEnabled(bool e) override { appToBootEnabled = e; }

    QStringList labels, panels, tips;
    std::vector<int> tipsAfterLabels;
    int progressMax = -1, progress = -1, count = -1;
    bool downloadEnabled = true, cancelEnabled = false, appToBootEnabled = true;
};

class DownloadPresenterTest : public ::testing::Test {
protected:
    DownloadPresenterTest() : settings(dir.filePath("sys_config.ini")) {
        faces.setUseEnglish(true);
    }

    // Runs a download that ends with result, after the events up to its stage.
    void run(const DownloadResult& result) {
        if (result.stage != Stage::Start) {
            presenter.started();
            if (result.stage != Stage::Link)
                presenter.linked();
        }
        if (result.stage == Stage::Frames) {
            presenter.framesKnown(2);
            presenter.dataFrame(0, 2);
            presenter.progress(1, 2);
            presenter.dataFrame(1, 2);
        }
        presenter.transferEnded(result);
        presenter.finished(result);
        QTest::qWait(0); // the box comes once the engine's call has returned
        QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    Faces faces;
    IniStore settings;
    RecordingPanel panel;
    DownloadPresenter presenter{panel, faces, settings};
};

DownloadResult ending(Stage stage, Outcome outcome, Cause cause, const QString& text = {}) {
    DownloadResult r;
    r.stage = stage;
    r.outcome = outcome;
    r.cause = cause;
    r.error.text = text;
    return r;
}

TEST_F(DownloadPresenterTest, EachEndingShowsItsTextsAndBox) {
    const QString failed = "Download failed!";
    const QString linkFailed = "Failed to download, please check!";
    struct Case {
        const char* name;
        DownloadResult result;
        QString lastLabel; // empty: no label at the end of the run
        QStringList tips;
        int tipAfterLabels; // how many labels were shown before the box, -1 without a box
        bool counted;
    } cases[] = {
        {"an empty path: only its box",
         ending(Stage::Start, Outcome::Refused, Cause::FileNotOpen, "File not open!"),
         {},
         {"File not open!"},
         0,
         false},
        {"no printer on the COM port: the link text, no box",
         ending(Stage::Link, Outcome::Failed, Cause::PrinterAbsent),
         linkFailed,
         {},
         -1,
         false},
        {"an empty IP box: its box, then the link text",
         ending(Stage::Link, Outcome::Failed, Cause::AddressMissing,
                QStringLiteral("IP 地址不能为空！")),
         linkFailed,
         {QStringLiteral("IP 地址不能为空！")},
         1,
         false},
        {"a refused image: its text in the label and the box",
         ending(Stage::Image, Outcome::Refused, Cause::BadTrailer, "bad file"),
         "bad file",
         {"bad file"},
         3,
         false},
        {"a frame never accepted",
         ending(Stage::Frames, Outcome::Failed, Cause::PrinterSilent),
         failed,
         {failed},
         5,
         false},
        {"a stop while quitting: no box",
         ending(Stage::Frames, Outcome::Failed, Cause::Stopped),
         failed,
         {},
         -1,
         false},
        {"completed: counted",
         ending(Stage::Frames, Outcome::Completed, Cause::None),
         {},
         {},
         -1,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        panel = RecordingPanel{};
        presenter.setDownloadTotal(0);
        presenter.clearDownloadNum();
        run(c.result);
        if (!c.lastLabel.isEmpty()) {
            EXPECT_EQ(panel.labels.last(), c.lastLabel);
        }
        EXPECT_EQ(panel.tips, c.tips);
        if (c.tipAfterLabels >= 0 && !panel.tipsAfterLabels.empty()) {
            EXPECT_EQ(panel.tipsAfterLabels.front(), c.tipAfterLabels);
        }
        EXPECT_EQ(presenter.downloadNum(), c.counted ? 1 : 0);
        EXPECT_EQ(panel.count, c.counted ? 1 : -1);
        if (c.result.stage != Stage::Start) { // the end steps give the window back
            EXPECT_TRUE(panel.downloadEnabled);
            EXPECT_TRUE(panel.appToBootEnabled);
            EXPECT_FALSE(panel.cancelEnabled);
            EXPECT_EQ(panel.progress, 0);
        }
    }
    EXPECT_EQ(settings.GetIniString("MSG", "total"), "1");
}

TEST_F(DownloadPresenterTest, FrameTextsCountFromZeroWithTheElapsedSeconds) {
    faces.setUseEnglish(false);
    presenter.started();
    EXPECT_EQ(panel.panels.last(), QStringLiteral(" 正在下载..."));
    EXPECT_EQ(panel.labels.last(), QStringLiteral("正在建立连接..."));
    EXPECT_FALSE(panel.downloadEnabled);
    EXPECT_FALSE(panel.appToBootEnabled);
    EXPECT_TRUE(panel.cancelEnabled);
    presenter.linked();
    presenter.framesKnown(2);
    presenter.dataFrame(0, 2);
    EXPECT_EQ(panel.labels.last(), QStringLiteral("正在下载第0帧，总共2帧, 耗时0秒"));
    EXPECT_EQ(panel.progressMax, 2);
    EXPECT_EQ(panel.progress, 1);
}

TEST_F(DownloadPresenterTest, TheLinkWaitTextFollowsTheElapsedTimeOnlyInStepZero) {
    presenter.started();
    presenter.stepChanged(0);
    presenter.linking();
    ASSERT_TRUE(QTest::qWaitFor([&] { return presenter.elapsedTenths() >= 3; }, 2000));
    EXPECT_TRUE(panel.labels.last().startsWith(QStringLiteral("正在建立连接..., 0.")));
    presenter.stepChanged(1); // the BOOTP answer is out: the text stays
    const QString shown = panel.labels.last();
    const int tenths = presenter.elapsedTenths();
    ASSERT_TRUE(QTest::qWaitFor([&] { return presenter.elapsedTenths() > tenths; }, 2000));
    EXPECT_EQ(panel.labels.last(), shown);
}

TEST_F(DownloadPresenterTest, SerialSendsBlankTheStatusPanelAndErrorsStayInIt) {
    presenter.serialSent(Status{});
    EXPECT_EQ(panel.panels.last(), " ");
    presenter.serialSent(Error{8002, QStringLiteral("[无效端口号]"), {}});
    EXPECT_EQ(panel.panels.last(), QStringLiteral(" [无效端口号]"));
}

} // namespace
} // namespace posflash
