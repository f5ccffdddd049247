#include "app/locale_rules.h"
#include "base/qt_texts.h"
#include "window_fixture.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>

namespace posflash::testing {
namespace {

const QStringList kChinese{QStringLiteral("端口选择"), QStringLiteral("通讯设置"),
                           QStringLiteral("网络设置"), QStringLiteral("自动获取"),
                           QStringLiteral("手动获取"), QStringLiteral("获取端口号"),
                           QStringLiteral("程序文件"), QStringLiteral("进入下载"),
                           QStringLiteral("下载"),     QStringLiteral("16"),
                           QStringLiteral("宋体"),     QStringLiteral("打印机程序更新软件 V1.2"),
                           QStringLiteral("官方网站:")};

const QStringList kEnglish{"Port Select", "Comm settings", "Network settings",
                           "Automatic",   "Manual",        "GetPort",
                           "Files",       "InBoot",        "Download",
                           "14",          "Arial",         "The printer program update V1.2",
                           "Website:"};

class FacesTest : public WindowTest {
protected:
    // The thirteen assignments of a face, in their order: nine captions, then the title
    // line's font size, font name and caption, then the web caption.
    QStringList face() const {
        QStringList texts;
        for (const char* box : {"Frame3", "Frame2", "Frame1"})
            texts << control<QGroupBox>(box).title();
        for (const char* button : {"optGetPortModeSel_0", "optGetPortModeSel_1", "cmdGetComPort",
                                   "btnOpenFile", "cmdAppToBoot", "btnDownloadFile"})
            texts << control<QAbstractButton>(button).text();
        const QFont title = control<QLabel>("lblCompanyName").font();
        return texts << QString::number(title.pointSize()) << title.family()
                     << control<QLabel>("lblCompanyName").text()
                     << control<QLabel>("lblWebTip").text();
    }
};

TEST_F(FacesTest, ChineseSystemWithTheBoxUncheckedShowsTheChineseFace) {
    start();
    EXPECT_EQ(face(), kChinese);
    const QFont title = control<QLabel>("lblCompanyName").font();
    EXPECT_TRUE(title.bold());
    // Whatever stands in for 宋体 must draw the Chinese title.
    EXPECT_TRUE(QFontMetrics(title).inFont(QChar(0x6253)))
        << QFontInfo(title).family().toStdString();
}

TEST_F(FacesTest, TheStoredChoiceAppliesAtStartAndTheBoxSwitchesAllThirteenAssignments) {
    writeSettings("[MSG]\nfirst=false\nLanguage=true\n");
    start();
    EXPECT_EQ(face(), kEnglish);
    EXPECT_EQ(control<QAbstractButton>("cmdCancel").text(), "Stop"); // shown during downloads

    control<QCheckBox>("chkEnglish").click();
    EXPECT_EQ(face(), kChinese);
    EXPECT_FALSE(window->engine().faces().UseEnglish());
    EXPECT_EQ(stored("MSG", "Language"), "false");
    EXPECT_EQ(control<QAbstractButton>("cmdCancel").text(), QStringLiteral("停止"));

    control<QCheckBox>("chkEnglish").click();
    EXPECT_EQ(face(), kEnglish);
    EXPECT_EQ(stored("MSG", "Language"), "true");
    EXPECT_TRUE(control<QLabel>("lblCompanyName").font().bold());
}

TEST_F(FacesTest, NonChineseSystemAlwaysShowsEnglishButStillStoresTheBox) {
    host.systemLocale = QLocale(QLocale::German, QLocale::Germany);
    writeSettings("[MSG]\nfirst=false\n");
    start();
    EXPECT_EQ(face(), kEnglish);
    for (const char* storedAfter : {"true", "false"}) {
        control<QCheckBox>("chkEnglish").click();
        EXPECT_EQ(face(), kEnglish);
        EXPECT_EQ(stored("MSG", "Language"), storedAfter);
    }
}

TEST_F(FacesTest, CaptionsOutsideTheTableStayInBothFaces) {
    start();
    const auto others = [this] {
        QStringList texts{window->windowTitle()};
        for (const char* button :
             {"optPortSelect_0", "optPortSelect_1", "chkEnglish", "Command2", "Check1"})
            texts << control<QAbstractButton>(button).text();
        for (const char* label : {"Label1", "Label3", "lblStatus"})
            texts << control<QLabel>(label).text();
        return texts;
    };
    const QStringList expected{
        "Printer program update V1.2",  "ETHERNET",    "USB",  "English", "Clear",
        QStringLiteral("打开字库下载"), "IP Address:", "NUM:", "idle..."};
    EXPECT_EQ(others(), expected);
    control<QCheckBox>("chkEnglish").click();
    EXPECT_EQ(others(), expected);
}

TEST(SystemLanguageTest, ChineseRegionsMapToTheirKindAndEverythingElseToNone) {
    EXPECT_EQ(GetSystemLanguage(QLocale("zh_CN")), kSimplifiedChinese);
    EXPECT_EQ(GetSystemLanguage(QLocale("zh_SG")), kSimplifiedChinese);
    EXPECT_EQ(GetSystemLanguage(QLocale("zh_Hans")), kSimplifiedChinese);
    EXPECT_EQ(GetSystemLanguage(QLocale("zh_TW")), kTraditionalChinese);
    EXPECT_EQ(GetSystemLanguage(QLocale("zh_HK")), kTraditionalChinese);
    EXPECT_EQ(GetSystemLanguage(QLocale("zh_MO")), kNotChinese);
    EXPECT_EQ(GetSystemLanguage(QLocale("ja_JP")), kNotChinese);
}

// Qt's standard buttons (a message box's OK, Cancel) take the face's language from Qt's own
// translations, and give it back.
TEST(QtTextsTest, StandardButtonsSpeakTheFacesLanguage) {
    const auto cancel = [] {
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Cancel);
        return box.button(QMessageBox::Cancel)->text();
    };
    QtTexts texts;
    texts.speak(true);
    EXPECT_EQ(cancel(), QStringLiteral("取消"));
    texts.speak(false);
    EXPECT_EQ(cancel(), QStringLiteral("Cancel"));
}

} // namespace
} // namespace posflash::testing
