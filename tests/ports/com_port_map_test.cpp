#include "ports/com_port_map.h"

#include "support/test_files.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

#include <sys/stat.h>

namespace posflash {
namespace {

using Entries = std::map<int, QString>;

class ComPortMapTest : public ::testing::Test {
protected:
    void put(const QByteArray& text) { testing::WriteFile(path, text); }

    QTemporaryDir dir;
    QString path = dir.filePath("comports.ini");
    ComPortMap map{path};
};

TEST_F(ComPortMapTest, OnBoardPortsAreCom1AndCom2UnlessTheFileSaysOtherwise) {
    EXPECT_EQ(map.entries(), (Entries{{1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}}));
    EXPECT_EQ(ComPortMap().entries(), map.entries());

    put("[ports]\nCOM1=/dev/ttyUSB0\nCOM9=/dev/ttyS1\n");
    EXPECT_EQ(map.entries(), (Entries{{1, "/dev/ttyUSB0"}, {9, "/dev/ttyS1"}}));
    EXPECT_EQ(map.comNumberOf("/dev/ttyS0"), 0);
}

TEST_F(ComPortMapTest, MalformedLinesAreIgnoredWithoutLosingGoodOnes) {
    put("\xFF\xFE garbage\n[PORTS]\n\x01\x02=\xFF\ncom3 = /dev/ttyACM0\nCOM0=/dev/a\n"
        "COM256=/dev/b\nCOM07=/dev/c\nCOMx=/dev/d\nCOM-4=/dev/e\nCOM4=\nCOM3=/dev/twin\n"
        "COM8=/dev/cr\rinside\n"
        "COM5\n" +
        QByteArray(100000, 'z') + "\nCOM255=/dev/last\n[other]\nCOM6=/dev/f\n");
    EXPECT_EQ(
        map.entries(),
        (Entries{{1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}, {3, "/dev/ttyACM0"}, {255, "/dev/last"}}));
}

TEST_F(ComPortMapTest, ANewDeviceGetsTheLowestFreeNumberAndKeepsIt) {
    put("[ports]\nCOM2=/dev/ttyS0\nCOM3=/dev/ttyACM0\nCOM5=/dev/ttyACM1\n");
    // COM1 is free, but numbers are given from COM3.
    EXPECT_EQ(map.assign("/dev/ttyUSB0").value_or(0), 4);
    EXPECT_EQ(map.assign("/dev/ttyUSB1").value_or(0), 6);
    EXPECT_EQ(map.assign("/dev/ttyACM1").value_or(0), 5);
    EXPECT_EQ(map.assign("/dev/ttyS1").value_or(0), 7); // COM2 is taken, so no default for it
    EXPECT_EQ(ComPortMap(path).comNumberOf("/dev/ttyUSB0"), 4); // survives a restart
    EXPECT_EQ(ComPortMap(path).devicePath(6), "/dev/ttyUSB1");
}

TEST_F(ComPortMapTest, AHandEditIsSeenWithoutARestart) {
    ASSERT_EQ(map.assign("/dev/ttyACM0").value_or(0), 3);
    put("; mine\n[ports]\nCOM7=/dev/ttyACM0\n");
    EXPECT_EQ(map.comNumberOf("/dev/ttyACM0"), 7);
    QFile::remove(path);
    EXPECT_EQ(map.comNumberOf("/dev/ttyACM0"), 0);
}

TEST_F(ComPortMapTest, SetMappingMovesANodeToItsNewNumber) {
    put("; mine\n[ports]\nCOM3=/dev/ttyACM0\n");
    ASSERT_TRUE(map.setMapping(7, "/dev/ttyS0"));
    ASSERT_TRUE(map.setMapping(3, "/dev/ttyUSB0"));
    const Entries expected{{2, "/dev/ttyS1"}, {3, "/dev/ttyUSB0"}, {7, "/dev/ttyS0"}};
    EXPECT_EQ(map.entries(), expected);
    EXPECT_EQ(ComPortMap(path).entries(), expected); // COM1 does not come back as a default
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.readAll().startsWith("; mine\n[ports]\n"));
}

TEST_F(ComPortMapTest, ALinkFindsTheNumberOfItsTarget) {
    const QString node = dir.filePath("pty-stand-in");
    const QString link = dir.filePath("by-id-printer");
    put("");
    ASSERT_TRUE(QFile::copy(path, node));
    ASSERT_TRUE(QFile::link(node, link));
    ASSERT_TRUE(map.setMapping(12, link));
    EXPECT_EQ(map.comNumberOf(node), 12);
    EXPECT_EQ(map.assign(node).value_or(0), 12);
    ASSERT_TRUE(map.setMapping(13, node)); // the same device, so COM12 goes
    EXPECT_EQ(map.devicePath(12), "");
}

TEST_F(ComPortMapTest, AFileThatCannotBeWrittenOrReadGivesZeroAndIsKept) {
    ComPortMap folder(dir.path());
    EXPECT_FALSE(folder.assign("/dev/ttyACM0"));
    EXPECT_EQ(folder.devicePath(1), "/dev/ttyS0");

    // A file it cannot read keeps its numbers: no new file is written over it.
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    EXPECT_FALSE(map.assign("/dev/ttyUSB0"));
    EXPECT_FALSE(QFileInfo(path).isFile());
}

TEST(ParseComNameTest, AcceptsComOneToTwoHundredFiftyFiveInAnyCaseAndNothingElse) {
    EXPECT_EQ(ParseComName(u"COM1"), 1);
    EXPECT_EQ(ParseComName(u"COM255"), 255);
    EXPECT_EQ(ParseComName(u"com3"), 3); // a hand-edited comports.ini or a typed --port
    for (const char* bad : {"", "COM", "COM0", "COM256", "COM99999999999", "COM07", " COM3",
                            "COM3 ", "COM+3", "COM3a", "3",
                            "COM\xef\xbc\x93", // a full-width digit three
                            "COM\xd9\xa3"})    // an Arabic-Indic digit three
        EXPECT_EQ(ParseComName(QString::fromUtf8(bad)), std::nullopt) << bad;
}

} // namespace
} // namespace posflash
