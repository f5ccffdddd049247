// The command line's view helpers: the progress estimate, the texts of every cause, text
// widths, colour choice and the redraw pace.
#include "base/faces.h"
#include "cli/colour.h"
#include "cli/redraw_pacer.h"
#include "cli/text_width.h"
#include "download/progress_estimate.h"
#include "unit/cause_texts.h"
#include "unit/download_history.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <optional>

namespace posflash {
namespace {

TEST(ProgressEstimateTest, TimeLeftFollowsTheRecentRateSoAStallRaisesIt) {
    // Frames of 1 KiB, 10 a second for 6 s: 60 of 100 through.
    ProgressEstimate e;
    for (int i = 0; i <= 60; ++i)
        e.update(i * 100, i, 100, 1024);
    // clang-format off
    const struct { const char* name; qint64 now; std::optional<qint64> left; } cases[] = {
        {"steady", 6000, 4000}, // 40 frames at 10 a second
        // A frame retried: the time without progress counts, so the estimate grows instead of
        // standing where it was (30 frames in the last 4 s, then 6 s).
        {"stalled a second", 7000, 5333},
        {"stalled three seconds", 9000, 8000},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(e.remainingMs(c.now), c.left);
    }
    EXPECT_DOUBLE_EQ(e.kibPerSecond(6000), 10.0);
    // Going on at twice the speed: the pace before the window is forgotten, the stall inside
    // it is not (30 frames from 6 s to 10.5 s).
    for (int i = 61; i <= 90; ++i)
        e.update(9000 + (i - 60) * 50, i, 100, 1024);
    EXPECT_EQ(e.remainingMs(10500), 1500);
    e.update(11000, 100, 100, 1024);
    EXPECT_FALSE(e.remainingMs(11000)) << "nothing is left";

    ProgressEstimate early;
    early.update(0, 0, 100, 1024);
    early.update(1000, 5, 100, 1024);
    EXPECT_FALSE(early.remainingMs(1000)) << "five frames are too few to judge";
}

// Every cause code the documentation lists has the command line's text and a remedy, in both
// languages: a code added without them would leave a user with a bare name.
TEST(CliViewHelpersTest, EveryDocumentedCauseHasATextAndARemedyInBothLanguages) {
    QFile doc(POSFLASH_DOCS_DIR "/cause-codes.md");
    ASSERT_TRUE(doc.open(QIODevice::ReadOnly));
    const QString all = QString::fromUtf8(doc.readAll());
    const QString table = all.mid(all.indexOf("| cause |"));
    Faces english;
    english.setUseEnglish(true);
    Faces chinese;
    ASSERT_TRUE(chinese.hasChinese());
    const CauseTexts en(english);
    const CauseTexts zh(chinese);
    int listed = 0;
    auto rows = QRegularExpression("\\n\\| `([a-z-]+)` \\| (?!completed)").globalMatch(table);
    while (rows.hasNext()) {
        const QString name = rows.next().captured(1);
        SCOPED_TRACE(name.toStdString());
        const auto cause = CauseFromName(name);
        ASSERT_TRUE(cause);
        ++listed;
        for (const auto& [inEnglish, inChinese] :
             {std::pair{en.cause(*cause, 0, 1, 3, 5000), zh.cause(*cause, 0, 1, 3, 5000)},
              std::pair{en.remedy(*cause), zh.remedy(*cause)}}) {
            EXPECT_FALSE(inEnglish.isEmpty());
            EXPECT_NE(inEnglish, inChinese) << inEnglish.toStdString() << ": not translated";
        }
    }
    EXPECT_EQ(listed, static_cast<int>(Cause::NotBack)); // every code but none
}

TEST(CliViewHelpersTest, WidthsColourAndRedrawPace) {
    // clang-format off
    const struct { const char* text; int width; } widths[] = {{"COM3", 4}, {"目标", 4}, {"3 台中完成 2 台", 15}, {"ｆｕｌｌ", 8}, {"é", 1}};
    // clang-format on
    for (const auto& w : widths) {
        SCOPED_TRACE(w.text);
        EXPECT_EQ(DisplayWidth(QString::fromUtf8(w.text)), w.width);
    }
    EXPECT_EQ(PadToWidth("目标", 6), "目标  ");
    EXPECT_EQ(CutToWidth("ab目标", 5), "ab目"); // fewer than 5 columns, no half character

    // clang-format off
    const struct { ColourChoice choice; bool terminal; const char* noColor; bool colour; } colours[] = {
        {ColourChoice::Auto, true, "", true},
        {ColourChoice::Auto, true, "1", false},
        {ColourChoice::Auto, false, "", false},
        {ColourChoice::Always, false, "1", true},
        {ColourChoice::Never, true, "", false},
    };
    // clang-format on
    for (const auto& c : colours)
        EXPECT_EQ(UseColour(c.choice, c.terminal, c.noColor), c.colour)
            << static_cast<int>(c.choice) << c.terminal << c.noColor;
    EXPECT_EQ(Paint("done", Tone::Done, true), "\033[32mdone\033[0m");
    EXPECT_EQ(Paint("done", Tone::Done, false), "done");

    // Many changes at once: one drawing now, one at the deadline.
    int drawn = 0;
    RedrawPacer pacer([&drawn] { ++drawn; }, 100);
    for (int i = 0; i < 50; ++i)
        pacer.changed();
    EXPECT_EQ(drawn, 1);
    EXPECT_TRUE(QTest::qWaitFor([&drawn] { return drawn == 2; }, 1000));

    // Held back while the interval runs, however the events turn; flush draws it at once.
    int held = 0;
    RedrawPacer slow([&held] { ++held; }, 60'000);
    slow.changed();
    slow.changed();
    QCoreApplication::processEvents();
    EXPECT_EQ(held, 1);
    slow.flush();
    slow.flush();
    EXPECT_EQ(held, 2);
}

} // namespace
} // namespace posflash
