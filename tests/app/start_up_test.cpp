#include "window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posflash::testing {
namespace {

using StartUpTest = WindowTest;

// What the host lacks is said in the status line, not in a box.
TEST_F(StartUpTest, FirstStartStoresMarkerMirrorsItStoresTheDefaultsAndSaysWhatTheHostLacks) {
    shortcomings = {HostShortcoming::SerialAccess, HostShortcoming::UdevRule,
                    HostShortcoming::BootPorts};
    start();
    EXPECT_EQ(firstStartChecks, 1);
    EXPECT_EQ(stored("MSG", "first"), "false");
    // The mirror is taken before the restore, so it holds the marker alone.
    const IniStore mirror(mirrorPath());
    EXPECT_EQ(mirror.GetIniString("MSG", "first"), "false");
    EXPECT_EQ(mirror.GetIniString("SERIAL", "COM"), "");

    // What the window shows for each default is pinned by the fallback table below.
    EXPECT_EQ(stored("SERIAL", "COM"), "2");
    EXPECT_EQ(stored("PORT", "ComboPort"), "0");
    EXPECT_EQ(stored("PORT", "AutoGet"), "0");
    EXPECT_EQ(window->portModel().portKind(), PortKindValue::Network);
    const QString status = control<QLabel>("ShowStatus_0").text();
    EXPECT_TRUE(status.startsWith(QStringLiteral(" 请检查设置："))) << status.toStdString();
    EXPECT_TRUE(status.contains("dialout"));
    EXPECT_TRUE(status.contains("60-posflash.rules"));
    EXPECT_TRUE(status.contains("67"));
    EXPECT_TRUE(tips.isEmpty());
}

TEST_F(StartUpTest, AnyFirstMarkerSkipsTheFirstStartChecks) {
    shortcomings = {HostShortcoming::UdevRule};
    writeSettings("[MSG]\nfirst=no\n");
    start();
    EXPECT_EQ(firstStartChecks, 0);
    EXPECT_EQ(stored("MSG", "first"), "no");
    EXPECT_FALSE(control<QLabel>("ShowStatus_0").text().contains("udev"));
    EXPECT_EQ(IniStore(mirrorPath()).GetIniString("MSG", "first"), "no");
}

TEST_F(StartUpTest, SettingsOrMirrorThatCannotBeWrittenAreReportedAndStartUpGoesOn) {
    WriteFile(configHome.filePath("posflash"), "a file where the folder should be");
    start();
    EXPECT_TRUE(control<QLabel>("ShowStatus_0").text().contains(QStringLiteral("设置未能保存")));
    EXPECT_EQ(control<QComboBox>("ComboSerialSelect").currentText(), "COM3");

    window.reset();
    QFile::remove(configHome.filePath("posflash"));
    QDir(appFolder.path()).mkdir("config.ini"); // cannot be replaced by a file
    start();
    EXPECT_TRUE(control<QLabel>("ShowStatus_0").text().contains("config.ini"));
    EXPECT_EQ(stored("SERIAL", "COM"), "2");
    EXPECT_TRUE(tips.isEmpty());
}

TEST_F(StartUpTest, ASettingsFileThatIsAFifoNeitherBlocksNorIsMirrored) {
    QDir().mkpath(QFileInfo(settingsPath()).absolutePath());
    const QByteArray fifo = QFile::encodeName(settingsPath());
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    // Should start-up block opening the FIFO, a writer comes after 5 s: the test fails instead of
    // hanging.
    std::mutex m;
    std::condition_variable startedUp;
    bool started = false, unblocked = false;
    std::thread rescue([&] {
        std::unique_lock lock(m);
        if (startedUp.wait_for(lock, std::chrono::seconds(5), [&] { return started; }))
            return;
        const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
        unblocked = fd >= 0;
        if (fd >= 0)
            ::close(fd);
    });
    start();
    {
        const std::lock_guard lock(m);
        started = true;
    }
    startedUp.notify_one();
    rescue.join();
    EXPECT_FALSE(unblocked) << "start-up waited for a writer on the FIFO";
    EXPECT_FALSE(QFileInfo::exists(mirrorPath()));
    EXPECT_TRUE(control<QLabel>("ShowStatus_0").text().contains("config.ini"));
}

TEST_F(StartUpTest, RestoresEveryKeyWithoutRewritingTheFile) {
    const QString program = files.filePath("program.bin");
    const QString font = files.filePath("font.bin");
    writeSettings(QStringLiteral("[MSG]\nfirst=false\nLanguage=true\ntotal=41\nfilepath=%1\n"
                                 "fontfilepath=%2\nip=10.1.2.3\nmac=AA-BB-CC-DD-EE-FF\n"
                                 "[SERIAL]\nCOM=10\nComboBtl=7\n[PORT]\nComboPort=1\nAutoGet=1\n")
                      .arg(program, font)
                      .toUtf8());
    const QDateTime old = QDateTime::currentDateTime().addDays(-2);
    {
        QFile f(settingsPath());
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    const QByteArray before = ReadFile(settingsPath());

    start();
    EXPECT_TRUE(control<QCheckBox>("chkEnglish").isChecked());
    EXPECT_EQ(window->presenter().downloadTotal(), 41);
    EXPECT_EQ(control<QLineEdit>("txtFilePath").text(), program);
    EXPECT_EQ(control<QLineEdit>("txtFontFilePath").text(), font);
    EXPECT_EQ(control<QLineEdit>("txtcIPAddr").text(), "10.1.2.3");
    EXPECT_EQ(control<QLineEdit>("txtcMACAddr").text(), "AA-BB-CC-DD-EE-FF");
    EXPECT_EQ(control<QComboBox>("ComboSerialSelect").currentText(), "COM11");
    EXPECT_EQ(control<QComboBox>("ComboBtl").currentText(), "115200");
    EXPECT_TRUE(control<QRadioButton>("optPortSelect_1").isChecked());
    EXPECT_EQ(window->portModel().portKind(), PortKindValue::Com);
    EXPECT_TRUE(control<QRadioButton>("optGetPortModeSel_1").isChecked());
    EXPECT_EQ(control<QLabel>("ShowStatus_0").text(), " USB:COM11,115200,n,8,1");

    // Every restore stored a value equal to the stored one: the file was not touched.
    EXPECT_EQ(ReadFile(settingsPath()), before);
    EXPECT_EQ(QFileInfo(settingsPath()).lastModified(), old);
    EXPECT_EQ(ReadFile(mirrorPath()), before);
}

TEST_F(StartUpTest, EmptyAddressesKeepTheDefaultsAndChangesAreStoredAtOnce) {
    writeSettings("[MSG]\nfirst=false\nip=\nmac=   \n");
    start();
    EXPECT_EQ(control<QLineEdit>("txtcIPAddr").text(), "192.168.123.100");
    EXPECT_EQ(control<QLineEdit>("txtcMACAddr").text(), "00-11-22-33-44-55");
    EXPECT_EQ(stored("MSG", "ip"), "");
    EXPECT_FALSE(ReadFile(settingsPath()).contains("192.168.123.100"));

    control<QLineEdit>("txtcIPAddr").setText("172.16.0.9");
    control<QLineEdit>("txtcMACAddr").setText("01-02-03-04-05-06");
    EXPECT_EQ(stored("MSG", "ip"), "172.16.0.9");
    EXPECT_EQ(stored("MSG", "mac"), "01-02-03-04-05-06");
}

TEST_F(StartUpTest, BadStoredIndexesFallBackToTheDefaults) {
    // shows: the current text of a list; an option, named by control, must be checked
    // clang-format off
    const struct { const char *section, *key, *value, *control, *shows, *storedAfter; } cases[] = {
        {"SERIAL", "COM", "abc", "ComboSerialSelect", "COM3", "2"},
        {"SERIAL", "COM", "-1", "ComboSerialSelect", "COM3", "2"},
        {"SERIAL", "COM", "255", "ComboSerialSelect", "COM3", "2"},
        {"SERIAL", "COM", "+4", "ComboSerialSelect", "COM3", "2"},
        {"SERIAL", "COM", "99999999999999999999", "ComboSerialSelect", "COM3", "2"},
        {"SERIAL", "COM", "0", "ComboSerialSelect", "COM1", "0"},
        {"SERIAL", "COM", "254", "ComboSerialSelect", "COM255", "254"},
        {"SERIAL", "ComboBtl", "11", "ComboBtl", "19200", "11"},
        {"SERIAL", "ComboBtl", "fast", "ComboBtl", "19200", "fast"},
        {"SERIAL", "ComboBtl", "10", "ComboBtl", "912600", "10"},
        {"PORT", "ComboPort", "2", "optPortSelect_0", "", "0"},
        {"PORT", "ComboPort", "usb", "optPortSelect_0", "", "0"},
        {"PORT", "AutoGet", "7", "optGetPortModeSel_0", "", "0"},
        {"PORT", "AutoGet", "1.0", "optGetPortModeSel_0", "", "0"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        window.reset();
        writeSettings(QStringLiteral("[MSG]\nfirst=false\n[%1]\n%2=%3\n")
                          .arg(c.section, c.key, c.value)
                          .toUtf8());
        start();
        if (QString(c.control).startsWith("opt"))
            EXPECT_TRUE(control<QRadioButton>(c.control).isChecked());
        else
            EXPECT_EQ(control<QComboBox>(c.control).currentText(), c.shows);
        // The network kind may be stored, but its button stays disabled.
        EXPECT_FALSE(control("optPortSelect_0").isEnabled());
        // ComboBtl has no action: its stored value stays as it was.
        EXPECT_EQ(stored(c.section, c.key), c.storedAfter);
    }
}

// Neither a count nor the language box takes anything but its exact form; an unchanged box
// runs no action, so the stored word stays.
TEST_F(StartUpTest, BadStoredTotalCountsFromZeroAndOnlyTheExactWordTrueChecksEnglish) {
    // clang-format off
    const struct { const char* total; int counted; const char* language; } cases[] = {
        {"-3",           0,  "True"},
        {"99999999999",  0,  "1"},
        {"12 downloads", 0,  "yes"},
        {"  17  ",       17, "TRUE"},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.total) + " " + c.language);
        window.reset();
        writeSettings(QStringLiteral("[MSG]\nfirst=false\ntotal=%1\nLanguage=%2\n")
                          .arg(c.total, c.language)
                          .toUtf8());
        start();
        EXPECT_EQ(window->presenter().downloadTotal(), c.counted);
        EXPECT_FALSE(control<QCheckBox>("chkEnglish").isChecked());
        EXPECT_EQ(stored("MSG", "Language"), c.language); // an unchanged box runs no action
    }
}

TEST_F(StartUpTest, HostSerialDevicesGetComNumbersShownAsToolTips) {
    const QString adapter = files.filePath("ttyUSB7");
    hostSerialPorts = {"/dev/ttyS0", adapter};
    start();
    auto& ports = control<QComboBox>("ComboSerialSelect");
    EXPECT_EQ(ports.itemData(0, Qt::ToolTipRole).toString(), "/dev/ttyS0");
    EXPECT_EQ(ports.itemData(2, Qt::ToolTipRole).toString(), adapter);
    EXPECT_TRUE(ReadFile(comPortsPath()).contains(("COM3=" + adapter).toUtf8()));
}

} // namespace
} // namespace posflash::testing
