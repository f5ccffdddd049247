// posflash-cli finding printers on a umockdev bus whose tty nodes are simulated printers.
#include "support/cli_process.h"
#include "support/process_signal.h"
#include "support/umockdev_testbed.h"

#include <QDir>
#include <QFileInfo>
#include <QMap>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <signal.h>
#include <sys/mount.h>

namespace posflash {
namespace {

using namespace testing;

// A USB CDC device whose tty node is a simulated printer's pseudo-terminal, bound over it.
class BusPrinter {
public:
    BusPrinter(Testbed& bed, QString busPath, QString serial, int acm)
        : bed_(bed), node_(QStringLiteral("/dev/ttyACM%1").arg(acm)),
          device_{std::move(busPath),
                  "0483",
                  "5740",
                  std::move(serial),
                  {{"02", "tty", QStringLiteral("ttyACM%1").arg(acm)}}},
          sim_(dir_) {}
    ~BusPrinter() { unplug(); }

    bool start() { return sim_.start({"--think", "1"}); }

    bool plug() {
        const QString file = bed_.onDisk(node_);
        const QString terminal = QFileInfo(sim_.link()).symLinkTarget();
        QDir().mkpath(QFileInfo(file).path());
        QFile(file).open(QIODevice::WriteOnly);
        if (::mount(QFile::encodeName(terminal).constData(), QFile::encodeName(file).constData(),
                    nullptr, MS_BIND, nullptr) != 0)
            return false;
        mounted_ = file;
        // umockdev would make a node of its own: the announced device names this one.
        QString description = device_.description();
        description.remove(QRegularExpression("^N: .*\n", QRegularExpression::MultilineOption));
        return bed_.add(description);
    }

    void unplug() {
        if (mounted_.isEmpty())
            return;
        bed_.unplug(device_.syspath());
        ::umount2(QFile::encodeName(mounted_).constData(), MNT_DETACH);
        mounted_.clear();
    }

    QByteArray received() { return receivedBy(sim_); }
    QString node() const { return node_; }

private:
    Testbed& bed_;
    QString node_;
    FakeUsbDevice device_;
    QTemporaryDir dir_;
    PrinterSimProcess sim_;
    QString mounted_;
};

class UdevCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsSet("POSFLASH_TEST_NO_MOUNTS"))
            GTEST_SKIP() << "needs a mount namespace of its own (root)";
        image_ = fontBytes(40 * 1024);
        file_ = WriteFile(dir_.filePath("font.bin"), image_);
    }

    BusPrinter& printer(const QString& busPath, const QString& serial) {
        printers_.push_back(std::make_unique<BusPrinter>(bed_, busPath, serial,
                                                         static_cast<int>(printers_.size())));
        EXPECT_TRUE(printers_.back()->start());
        return *printers_.back();
    }

    void start(const QStringList& args) {
        cli_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        cli_.start(POSFLASH_CLI_PATH, args);
        ASSERT_TRUE(cli_.waitForStarted(5000));
    }

    // Reads the tool's JSON events until one passes the test, the tool ends or ms pass.
    bool waitFor(const std::function<bool(const QJsonObject&)>& wanted, int ms) {
        QElapsedTimer clock;
        clock.start();
        for (;;) {
            while (cli_.canReadLine()) {
                const QByteArray line = cli_.readLine();
                out_ += line;
                events_.push_back(QJsonDocument::fromJson(line).object());
                if (wanted(events_.back()))
                    return true;
            }
            if (clock.elapsed() >= ms || !cli_.waitForReadyRead(ms - clock.elapsed()))
                return false;
        }
    }

    int finish(int ms) {
        waitFor([](const QJsonObject& e) { return e["event"] == "summary"; }, ms);
        cli_.waitForFinished(2000);
        expectMatchesSchema(out_ + cli_.readAllStandardOutput(), "events.schema.json");
        return cli_.exitStatus() == QProcess::NormalExit ? cli_.exitCode() : -1;
    }

    // Every event of a kind, by target.
    QMap<QString, int> count(const char* event) const {
        QMap<QString, int> counts;
        for (const QJsonObject& e : events_)
            if (e["event"] == event)
                ++counts[e["target"].toString()];
        return counts;
    }

    static std::function<bool(const QJsonObject&)> doneOf(const QString& node) {
        return [node](const QJsonObject& e) {
            return e["event"] == "done" && e["target"].toString().startsWith(node);
        };
    }

    Testbed bed_;
    QTemporaryDir dir_;
    QByteArray image_;
    QString file_;
    std::vector<std::unique_ptr<BusPrinter>> printers_;
    QProcess cli_;
    QByteArray out_;
    std::vector<QJsonObject> events_;
};

TEST_F(UdevCliTest, AllUpdatesEveryPrinterPresentThatTheFilterNames) {
    std::vector<BusPrinter*> station{&printer("1-1", "PRN0001"), &printer("1-2", "PRN0002"),
                                     &printer("1-3", "PRN0003")};
    BusPrinter& otherStation = printer("1-4", "XYZ0004");
    for (BusPrinter* p : station)
        ASSERT_TRUE(p->plug());
    ASSERT_TRUE(otherStation.plug());

    start({"download", "--font", "--json", "--all", "--serial-prefix", "PRN", file_});
    EXPECT_EQ(finish(60000), 0);
    const QMap<QString, int> done = count("done");
    EXPECT_EQ(done.size(), 3);
    for (BusPrinter* p : station) {
        EXPECT_EQ(done.value(p->node()), 1) << p->node().toStdString();
        EXPECT_EQ(p->received(), image_);
    }
    EXPECT_TRUE(otherStation.received().isEmpty());
}

TEST_F(UdevCliTest, WatchUpdatesEachPrinterOnceAsItAppearsOnTheNamedPorts) {
    BusPrinter& noSerial = printer("1-1", "");
    BusPrinter& second = printer("1-2", "PRN0002");
    BusPrinter& elsewhere = printer("1-5", "PRN0005");
    // The user's map gives the second printer's node COM4: its record must say so.
    WriteFile(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                  "/posflash/comports.ini",
              "[ports]\nCOM4=" + QFile::encodeName(second.node()) + "\n");
    start({"download", "--font", "--json", "--watch", "--usb-path", "1-1", "--usb-path", "1-2",
           file_});

    ASSERT_TRUE(noSerial.plug());
    ASSERT_TRUE(waitFor(doneOf(noSerial.node()), 30000));
    EXPECT_EQ(events_.back()["result"], "completed");

    // Put back, the same printer (by its bus place) is not updated again; the next one shows it.
    noSerial.unplug();
    ASSERT_TRUE(noSerial.plug());
    ASSERT_TRUE(elsewhere.plug());
    ASSERT_TRUE(second.plug());
    ASSERT_TRUE(waitFor(doneOf(second.node()), 30000));
    EXPECT_EQ(events_.back()["result"], "completed");

    posflash::test::signalProcess(cli_, SIGINT);
    EXPECT_EQ(finish(10000), 0);
    const QMap<QString, int> starts = count("start");
    EXPECT_EQ(starts.size(), 2);
    for (const int n : starts)
        EXPECT_EQ(n, 1);
    EXPECT_EQ(events_.back()["completed"], 2);
    EXPECT_EQ(noSerial.received(), image_);
    EXPECT_EQ(second.received(), image_);
    EXPECT_TRUE(elsewhere.received().isEmpty());

    // Each recorded with the COM number of the run's map and its USB place and serial.
    QProcess history;
    history.start(POSFLASH_CLI_PATH, {"history", "--json"});
    ASSERT_TRUE(history.waitForFinished(10000));
    QStringList rows;
    for (const QJsonObject& row : jsonLines(history.readAllStandardOutput()))
        rows << row["device"].toString() + " " + row["usb_path"].toString() + " " +
                    row["usb_serial"].toString() + " " + row["outcome"].toString() +
                    (row["device"].toString() == second.node()
                         ? " COM" + QString::number(row["com"].toInt())
                         : QString());
    rows.sort();
    EXPECT_EQ(rows.join(" | ").toStdString(), (noSerial.node() + " 1-1  completed | " +
                                               second.node() + " 1-2 PRN0002 completed COM4")
                                                  .toStdString());
}

} // namespace
} // namespace posflash
