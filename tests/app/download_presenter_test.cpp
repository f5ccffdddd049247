// The window's reading of a download, fed the engine's events directly: which texts, boxes,
// counters and buttons each ending gives.
#include "app/download_presenter.h"
#include "base/faces.h"
#include "base/ini_store.h"
#include "protocol/reply_checker.h"

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

    using Kind = DownloadEvent::Kind;
    // An event of a download of 2 data frames; a frame's is its first attempt on a serial line.
    void tell(Kind kind, const DownloadResult* result = nullptr, short step = 0, int frame = 0,
              std::optional<Error> sendError = {}) {
        DownloadEvent e;
        e.kind = kind;
        e.result = result;
        e.step = step;
        e.frame = frame;
        e.accepted = std::max(0, frame - 1);
        e.frames = 2;
        e.attempt = 1;
        e.serial = true;
        e.sendError = std::move(sendError);
        presenter.onEvent(e);
    }
    void sent(int index, std::optional<Error> error = {}) {
        tell(Kind::FrameSent, nullptr, step::kDataFrame, index + 1, std::move(error));
    }

    // Runs a download that ends with result, after the events up to its stage.
    void run(const DownloadResult& result) {
        if (result.stage != Stage::Start) {
            tell(Kind::Started);
            if (result.stage != Stage::Link)
                tell(Kind::Linked);
        }
        if (result.stage == Stage::Frames) {
            tell(Kind::FramesKnown);
            sent(0);
            sent(1);
        }
        tell(Kind::TransferEnded, &result);
        tell(Kind::Finished, &result);
        QTest::qWait(0); // the box comes once the engine's call has returned
        QCoreApplication::processEvents();
    }

    QTemporaryDir dir;
    Faces faces;
    IniStore settings;
    RecordingPanel panel;
    DownloadPresenter presenter{panel, faces, settings};
};

TEST_F(DownloadPresenterTest, EachEndingShowsItsTextsAndBox) {
    const QString failed = "Download failed!", linkFailed = "Failed to download, please check!";
    const QString noIp = QStringLiteral("IP 地址不能为空！");
    // error: the result's own text; lastLabel: empty: no label at the end of the run; tip: empty:
    // no box; tipAfterLabels: how many labels were shown before the box
    // clang-format off
    const struct { const char* name; Stage stage; Outcome outcome; Cause cause; QString error; QString lastLabel; QString tip; int tipAfterLabels; } cases[] = {
        {"an empty path: only its box", Stage::Start, Outcome::Refused, Cause::FileNotOpen, "File not open!", "", "File not open!", 0},
        {"no printer on the COM port: the link text, no box", Stage::Link, Outcome::Failed, Cause::PrinterAbsent, "", linkFailed, "", 0},
        {"an empty IP box: its box, then the link text", Stage::Link, Outcome::Failed, Cause::AddressMissing, noIp, linkFailed, noIp, 1},
        {"a refused image: its text in the label and the box", Stage::Image, Outcome::Refused, Cause::BadTrailer, "bad file", "bad file", "bad file", 3},
        {"a frame never accepted", Stage::Frames, Outcome::Failed, Cause::PrinterSilent, "", failed, failed, 5},
        {"a stop while quitting: no box", Stage::Frames, Outcome::Failed, Cause::Stopped, "", failed, "", 0},
        {"completed: counted", Stage::Frames, Outcome::Completed, Cause::None, "", "", "", 0},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        panel = RecordingPanel{};
        presenter.setDownloadTotal(0);
        presenter.clearDownloadNum();
        DownloadResult result;
        result.stage = c.stage;
        result.outcome = c.outcome;
        result.cause = c.cause;
        result.error.text = c.error;
        run(result);
        if (!c.lastLabel.isEmpty()) {
            EXPECT_EQ(panel.labels.last(), c.lastLabel);
        }
        EXPECT_EQ(panel.tips, c.tip.isEmpty() ? QStringList() : QStringList{c.tip});
        if (!c.tip.isEmpty() && !panel.tipsAfterLabels.empty()) {
            EXPECT_EQ(panel.tipsAfterLabels.front(), c.tipAfterLabels);
        }
        const bool counted = c.outcome == Outcome::Completed;
        EXPECT_EQ(presenter.downloadNum(), counted ? 1 : 0);
        EXPECT_EQ(panel.count, counted ? 1 : -1);
        if (c.stage != Stage::Start) { // the end steps give the window back
            EXPECT_TRUE(panel.downloadEnabled);
            EXPECT_TRUE(panel.appToBootEnabled);
            EXPECT_FALSE(panel.cancelEnabled);
            EXPECT_EQ(panel.progress, 0);
        }
    }
    EXPECT_EQ(settings.GetIniString("MSG", "total"), "1");
}

// The frame texts and the buttons while frames go are the window's download test.
TEST_F(DownloadPresenterTest, TheLinkWaitTextFollowsTheElapsedTimeOnlyInStepZero) {
    faces.setUseEnglish(false);
    tell(Kind::Started);
    EXPECT_EQ(panel.panels.last(), QStringLiteral(" 正在下载..."));
    EXPECT_EQ(panel.labels.last(), QStringLiteral("正在建立连接..."));
    EXPECT_FALSE(panel.appToBootEnabled);
    tell(Kind::Step, nullptr, step::kLink);
    tell(Kind::Linking);
    ASSERT_TRUE(QTest::qWaitFor([&] { return presenter.elapsedTenths() >= 3; }, 2000));
    EXPECT_TRUE(panel.labels.last().startsWith(QStringLiteral("正在建立连接..., 0.")));
    tell(Kind::Step, nullptr, step::kBootpAnswered); // the BOOTP answer is out: the text stays
    const QString shown = panel.labels.last();
    const int tenths = presenter.elapsedTenths();
    ASSERT_TRUE(QTest::qWaitFor([&] { return presenter.elapsedTenths() > tenths; }, 2000));
    EXPECT_EQ(panel.labels.last(), shown);
}

TEST_F(DownloadPresenterTest, SerialSendsBlankTheStatusPanelAndErrorsStayInIt) {
    sent(0);
    EXPECT_EQ(panel.panels.last(), " ");
    sent(1, Error{8002, QStringLiteral("[无效端口号]"), {}});
    EXPECT_EQ(panel.panels.last(), QStringLiteral(" [无效端口号]"));
}

} // namespace
} // namespace posflash
