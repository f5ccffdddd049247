#include "base/ini_store.h"

#include "base/settings_file_read.h"
#include "support/test_files.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace posflash {
namespace {

class IniStoreTest : public ::testing::Test {
protected:
    void put(const QByteArray& text) { testing::WriteFile(path, text); }
    QByteArray contents() { return testing::ReadFile(path); }
    // An old time, so a rewrite shows even within the clock's resolution.
    void backdate() {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    QDateTime modified() { return QFileInfo(path).lastModified(); }

    QTemporaryDir dir;
    QString path = dir.filePath("sys_config.ini");
    IniStore store{path};
    const QDateTime old = QDateTime::currentDateTime().addDays(-3);
};

TEST_F(IniStoreTest, NamesMatchInAnyCaseAndTheFirstOfTwinsWins) {
    put("[msg]\r\nIP = \t10.0.0.1 \r\nip=second\n[MSG]\nmac=other\n");
    EXPECT_EQ(store.GetIniString("MSG", "ip"), "10.0.0.1");
    EXPECT_EQ(store.GetIniString("Msg", "mac"), ""); // only the first [MSG] counts
    EXPECT_EQ(store.GetIniString("SERIAL", "ip"), "");
    EXPECT_EQ(IniStore().GetIniString("MSG", "ip"), "");
    EXPECT_EQ(IniStore(dir.filePath("none.ini")).GetIniString("MSG", "ip"), "");
}

TEST_F(IniStoreTest, LongValuesAreCutOnACharacterBoundary) {
    const QByteArray ascii(254, 'a');
    put("[MSG]\nchinese=" + ascii + "\xE4\xB8\xAD" + "\nblank=" + QByteArray(254, 'b') + " x\n");
    EXPECT_EQ(store.GetIniString("MSG", "chinese"), QString::fromLatin1(ascii)); // no half 中
    EXPECT_EQ(store.GetIniString("MSG", "blank"), QString(254, 'b')); // cut, then trimmed
}

TEST_F(IniStoreTest, WritingKeepsEveryOtherLineByteForByte) {
    put("; settings\n[MSG]\nIp = 1\nip=twin\nJunk \xFF\xFE line\n[SERIAL]\nCOM=2\n\n# end");
    ASSERT_TRUE(store.WriteIniString("msg", "ip", "10.0.0.9"));
    ASSERT_TRUE(store.WriteIniString("MSG", "total", "7"));
    ASSERT_TRUE(store.WriteIniString("PORT", "AutoGet", "0"));
    EXPECT_EQ(contents(), "; settings\n[MSG]\nIp = 10.0.0.9\nip=twin\ntotal=7\nJunk \xFF\xFE line\n"
                          "[SERIAL]\nCOM=2\n\n# end\n[PORT]\nAutoGet=0\n");
}

TEST_F(IniStoreTest, AnEqualValueIsNotWrittenButOneWithBlanksIs) {
    ASSERT_TRUE(store.WriteIniString("MSG", "Language", "true"));
    backdate();
    ASSERT_TRUE(store.WriteIniString("msg", "language", "true"));
    EXPECT_EQ(modified(), old);
    ASSERT_TRUE(store.WriteIniString("MSG", "Language", "True")); // case counts in values
    EXPECT_NE(modified(), old);

    ASSERT_TRUE(store.WriteIniString("MSG", "ip", " 10.0.0.1 "));
    backdate();
    ASSERT_TRUE(store.WriteIniString("MSG", "ip", " 10.0.0.1 "));
    EXPECT_NE(modified(), old);
    // Written again, but the blanks do not pile up.
    EXPECT_EQ(contents(), "[MSG]\nLanguage=True\nip= 10.0.0.1 \n");
}

TEST_F(IniStoreTest, CarriageReturnsEndingTheFileAreNoPartOfTheLastValue) {
    put("[MSG]\r\nip=10.0.0.1\r");
    EXPECT_EQ(store.GetIniString("MSG", "ip"), "10.0.0.1");
    ASSERT_TRUE(store.WriteIniString("MSG", "mac", "00-11-22-33-44-55"));
    EXPECT_EQ(contents(), "[MSG]\r\nip=10.0.0.1\r\nmac=00-11-22-33-44-55\r\n");

    // Two of them: a write elsewhere in the file must not change the last section's value.
    put("[MSG]\r\nip=1\r\n[PORT]\r\nAutoGet=0\r\r");
    const auto before = store.GetIniSection("PORT");
    ASSERT_TRUE(before);
    ASSERT_TRUE(store.WriteIniString("MSG", "ip", "2"));
    EXPECT_EQ(*store.GetIniSection("PORT"), *before);
    EXPECT_EQ(store.GetIniString("PORT", "AutoGet"), "0");
}

TEST_F(IniStoreTest, ALineBreakInAValueCannotAddLines) {
    ASSERT_TRUE(store.WriteIniString("MSG", "filepath", "a\n[PORT]\r\nComboPort=1"));
    EXPECT_EQ(store.GetIniString("MSG", "filepath"), "a [PORT]  ComboPort=1");
    EXPECT_EQ(store.GetIniString("PORT", "ComboPort"), "");
}

TEST_F(IniStoreTest, FailuresAreReportedAndNeverLoseTheFile) {
    EXPECT_TRUE(IniStore().WriteIniString("MSG", "ip", "x")); // no file named yet: nothing to do

    IniStore nested(dir.filePath("a/b/sys_config.ini"));
    EXPECT_TRUE(nested.WriteIniString("MSG", "first", "false"));
    EXPECT_EQ(nested.GetIniString("MSG", "first"), "false");

    EXPECT_FALSE(IniStore(dir.path()).WriteIniString("MSG", "ip", "x"));
    // The system's own words come back beside ours, from a read (a link to itself) and from a
    // write (nothing can be created in /proc, not even by root).
    const QString loop = dir.filePath("loop.ini");
    ASSERT_TRUE(QFile::link(loop, loop));
    for (const QString& file : {loop, QStringLiteral("/proc/sys_config.ini")}) {
        SCOPED_TRACE(file.toStdString());
        const Status failed = IniStore(file).WriteIniString("MSG", "ip", "x");
        ASSERT_FALSE(failed);
        EXPECT_EQ(failed.error().code, IniStore::kFileError);
        EXPECT_FALSE(failed.error().detail.isEmpty());
        EXPECT_TRUE(failed.error().text.endsWith(failed.error().detail))
            << failed.error().text.toStdString();
    }
    for (const auto& [section, key] : {std::pair("MS]G", "ip"), std::pair("MSG", "a=b")}) {
        const Status named = store.WriteIniString(section, key, "x");
        ASSERT_FALSE(named);
        EXPECT_EQ(named.error().code, IniStore::kInvalidName);
    }

    put("[MSG]\nip=" + QByteArray(2 << 20, 'x') + "\n"); // far too big for a settings file
    EXPECT_EQ(store.GetIniString("MSG", "ip"), "");
    EXPECT_FALSE(store.WriteIniString("MSG", "ip", "y"));
    EXPECT_EQ(contents().size(), (2 << 20) + 10);

    // A FIFO would block a reader; it is refused, and not replaced by a regular file.
    const QString fifo = dir.filePath("fifo.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(IniStore(fifo).WriteIniString("MSG", "ip", "y"));
    EXPECT_FALSE(QFileInfo(fifo).isFile());
}

// The one read that the settings store, the COM map and the settings mirror share.
TEST_F(IniStoreTest, OnlyASmallRegularFileIsReadAndNothingElseIsWaitedOn) {
    using Reading = SettingsFileContents::Reading;
    put("[MSG]\nip=1\n");
    const QString link = dir.filePath("link.ini");
    ASSERT_TRUE(QFile::link(path, link));
    const SettingsFileContents viaLink = ReadSettingsFile(link);
    EXPECT_EQ(viaLink.status, Reading::Read);
    EXPECT_EQ(viaLink.bytes, "[MSG]\nip=1\n");
    EXPECT_EQ(ReadSettingsFile(dir.filePath("none.ini")).status, Reading::Missing);
    EXPECT_EQ(ReadSettingsFile(dir.filePath("none/x.ini")).status, Reading::Missing);

    // The cap is exact: a file of that many bytes is read, one byte more is refused.
    EXPECT_EQ(ReadSettingsFile(path, 11).bytes.size(), 11);
    EXPECT_EQ(ReadSettingsFile(path, 10).status, Reading::Refused);

    // A FIFO with no writer would block an ordinary open; /dev/zero never ends.
    const QString fifo = dir.filePath("fifo.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zero = dir.filePath("zero.ini");
    ASSERT_TRUE(QFile::link("/dev/zero", zero));
    for (const QString& refused : {fifo, zero, QStringLiteral("/dev/null"), dir.path()}) {
        SCOPED_TRACE(refused.toStdString());
        const SettingsFileContents read = ReadSettingsFile(refused);
        EXPECT_EQ(read.status, Reading::Refused);
        EXPECT_TRUE(read.bytes.isEmpty());
        EXPECT_TRUE(read.error.text.contains(refused)) << read.error.text.toStdString();
    }
}

TEST_F(IniStoreTest, ASectionIsReplacedInPlace) {
    put("[a]\nx=1\n[Ports]\n; note\nCOM1=/dev/ttyS0\nbad line\nCOM9=/dev/old\n[z]\ny=2\n");
    ASSERT_TRUE(store.WriteIniSection("ports", {{"COM1", "/dev/ttyS0"}, {"COM3", "/dev/ttyACM0"}}));
    EXPECT_EQ(contents(), "[a]\nx=1\n[Ports]\n; note\nCOM1=/dev/ttyS0\nCOM3=/dev/ttyACM0\n"
                          "bad line\n[z]\ny=2\n");
    using Entries = std::vector<std::pair<QString, QString>>;
    EXPECT_EQ(*store.GetIniSection("PORTS"),
              (Entries{{"COM1", "/dev/ttyS0"}, {"COM3", "/dev/ttyACM0"}}));
}

// A new file renamed over the old keeps it whole through a crash; a second name shows it is.
TEST_F(IniStoreTest, AWriteReplacesTheFileAndNeverOverwritesIt) {
    put("[MSG]\nip=1\n");
    const QString held = dir.filePath("held");
    ASSERT_EQ(::link(QFile::encodeName(path).constData(), QFile::encodeName(held).constData()), 0);
    ASSERT_TRUE(store.WriteIniString("MSG", "ip", "2"));
    ASSERT_TRUE(store.WriteIniSection("PORT", {{"AutoGet", "0"}}));
    EXPECT_EQ(contents(), "[MSG]\nip=2\n[PORT]\nAutoGet=0\n");
    EXPECT_EQ(testing::ReadFile(held), "[MSG]\nip=1\n");
}

} // namespace
} // namespace posflash
