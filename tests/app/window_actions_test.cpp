#include "app/locale_rules.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

namespace posflash::testing {
namespace {

class WindowActionsTest : public WindowTest {
protected:
    WindowActionsTest() { writeSettings("[MSG]\nfirst=false\n"); }
};

TEST_F(WindowActionsTest, ClockFieldsShowTheLocaleFormatsFromTheFirstTick) {
    start();
    auto* clock = window->findChild<QTimer*>("TimeSysTimer");
    ASSERT_NE(clock, nullptr);
    QSignalSpy tick(clock, &QTimer::timeout);
    ASSERT_TRUE(tick.wait(3000));
    // Seconds, no time zone; the short date of a Chinese system.
    const QRegularExpression time(R"(^ \d\d:\d\d:\d\d$)");
    const QRegularExpression date(R"(^ \d{4}/\d{1,2}/\d{1,2}$)");
    EXPECT_TRUE(time.match(control<QLabel>("ShowStatus_1").text()).hasMatch());
    EXPECT_TRUE(date.match(control<QLabel>("ShowStatus_2").text()).hasMatch());
    EXPECT_EQ(ClockTimeText(QLocale("zh_TW"), QTime(21, 5, 7)), QStringLiteral("下午9:05:07"));
    EXPECT_EQ(ClockTimeText(QLocale("en_US"), QTime(21, 5, 7)), "9:05:07 PM");
}

TEST_F(WindowActionsTest, UserChoicesRunTheirActions) {
    start();
    control<QRadioButton>("optPortSelect_1").click();
    EXPECT_EQ(window->portModel().portKind(), PortKindValue::Com);
    EXPECT_EQ(stored("PORT", "ComboPort"), "1");
    EXPECT_EQ(control<QLabel>("ShowStatus_0").text(), " USB:COM3,19200,n,8,1");

    auto& ports = control<QComboBox>("ComboSerialSelect");
    ports.setFocus();
    QTest::keyClick(&ports, Qt::Key_Down);
    EXPECT_EQ(ports.currentText(), "COM4");
    EXPECT_EQ(stored("SERIAL", "COM"), "3");
    EXPECT_EQ(window->engine().serialComNumber(), 4);

    control<QRadioButton>("optGetPortModeSel_1").click();
    EXPECT_EQ(stored("PORT", "AutoGet"), "1");

    QTest::mouseClick(&control<QLabel>("lblWebAddr"), Qt::LeftButton); // with http in front
    EXPECT_EQ(openedUrls, QStringList{"http://posflash.invalid"});
}

// A settings folder that became unusable after start-up (a file took its place, which stops
// root too): each save says in the status panel that settings were not saved, after the
// selection's own text, and a reason already shown is not repeated.
TEST_F(WindowActionsTest, ASaveThatFailsAfterStartUpIsShownInTheStatusPanelOnce) {
    // ownText: what the selection shows before the failure; empty for none
    // clang-format off
    const struct { const char* name; std::function<void()> act; QString ownText; QString notSaved; } rows[] = {
        {"the IP box", [this] { control<QLineEdit>("txtcIPAddr").setText("10.0.0.7"); control<QLineEdit>("txtcIPAddr").setText("10.0.0.8"); }, "", QStringLiteral("设置未能保存")},
        {"the MAC box", [this] { control<QLineEdit>("txtcMACAddr").setText("01-02-03-04-05-06"); control<QLineEdit>("txtcMACAddr").setText("01-02-03-04-05-07"); }, "", QStringLiteral("设置未能保存")},
        {"a COM choice", [this] { auto& ports = control<QComboBox>("ComboSerialSelect"); ports.setFocus(); QTest::keyClick(&ports, Qt::Key_Down); }, " COM4:19200,n,8,1", QStringLiteral("设置未能保存")},
        {"the port kind", [this] { control<QRadioButton>("optPortSelect_1").click(); }, " USB:COM3,19200,n,8,1", QStringLiteral("设置未能保存")},
        {"the English box", [this] { control<QCheckBox>("chkEnglish").click(); }, "", "settings not saved"},
    };
    // clang-format on
    const QString folder = configHome.filePath("posflash");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        window.reset();
        QDir(folder).removeRecursively();
        QFile::remove(folder);
        writeSettings("[MSG]\nfirst=false\n");
        start();
        ASSERT_FALSE(control<QLabel>("ShowStatus_0").text().contains(row.notSaved));

        ASSERT_TRUE(QDir(folder).removeRecursively());
        WriteFile(folder, "a file where the folder should be");
        row.act();
        const QString status = control<QLabel>("ShowStatus_0").text();
        EXPECT_EQ(status.count(row.notSaved), 1) << status.toStdString();
        if (!row.ownText.isEmpty()) {
            EXPECT_TRUE(status.startsWith(row.ownText)) << status.toStdString();
        }
    }
}

TEST_F(WindowActionsTest, ProgramFileIsAcceptedOnlyWithAValidTrailer) {
    start();
    control<QPushButton>("btnOpenFile").click(); // cancelled: nothing happens
    EXPECT_TRUE(tips.isEmpty());
    EXPECT_EQ(stored("MSG", "filepath"), "");

    chosenFile = writeProgramFile(14, "good.bin");
    control<QPushButton>("btnOpenFile").click();
    EXPECT_EQ(dialogFilters.last(), "File(bin) (*.bin)");
    EXPECT_EQ(control<QLineEdit>("txtFilePath").text(), chosenFile);
    EXPECT_EQ(stored("MSG", "filepath"), chosenFile);
    EXPECT_TRUE(tips.isEmpty());

    const QString good = chosenFile;
    chosenFile = files.filePath("bad.bin"); // the right sum, but big-endian
    WriteFile(chosenFile, QByteArray(10, '\x01') + QByteArray("\x00\x00\x00\x0A", 4));
    control<QPushButton>("btnOpenFile").click();
    EXPECT_EQ(tips, QStringList{QStringLiteral("打开文件错误,请重试！")});
    EXPECT_EQ(tipsStyles, std::vector<int>{1});
    EXPECT_EQ(control<QLineEdit>("txtFilePath").text(), good);
    EXPECT_EQ(stored("MSG", "filepath"), good);
}

TEST_F(WindowActionsTest, FontFileIsAcceptedWhateverItsContentAndItsBoxEnablesItsDownload) {
    start();
    EXPECT_FALSE(control("btnDownloadFontFile").isEnabled());
    control<QCheckBox>("Check1").setChecked(true);
    EXPECT_TRUE(control("btnDownloadFontFile").isEnabled());
    control<QCheckBox>("Check1").setChecked(false);
    EXPECT_FALSE(control("btnDownloadFontFile").isEnabled());
    chosenFile = files.filePath("font.bin");
    WriteFile(chosenFile, "no trailer at all");
    control<QPushButton>("btnOpenFontFile").click();
    EXPECT_EQ(dialogFilters, QStringList{"File(bin) (*.bin)"});
    EXPECT_EQ(control<QLineEdit>("txtFontFilePath").text(), chosenFile);
    EXPECT_EQ(stored("MSG", "fontfilepath"), chosenFile);
    EXPECT_TRUE(tips.isEmpty());
}

} // namespace
} // namespace posflash::testing
