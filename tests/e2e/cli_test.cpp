// posflash-cli run as a process: what it does with bad input, signals and a closed output.
#include "support/printer_sim_process.h"
#include "support/pty_pair.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posflash {
namespace {

using testing::PrinterSimProcess;
using testing::PtyPair;

constexpr const char* kCli = POSFLASH_CLI_PATH;

struct Finished {
    int exitCode = -1;
    bool crashed = false;
    qint64 ms = 0;
    QString err;
    QByteArray out;
};

class CliTest : public ::testing::Test {
protected:
    // Runs the tool to its end; one that outlives timeoutMs is killed and reported as such.
    Finished run(const QStringList& args, int timeoutMs = 5000) {
        return runProgram(kCli, args, timeoutMs);
    }
    // The tool behind a bash command line, which gets the tool as $0 and then args.
    Finished runInBash(const QString& script, const QStringList& args, int timeoutMs) {
        return runProgram("bash", QStringList{"-c", script, kCli} + args, timeoutMs);
    }

    // The tool keeps its history and its COM-number map in the test's folder.
    void isolate(QProcess& cli) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", dir.filePath("data"));
        env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
        cli.setProcessEnvironment(env);
    }

    Finished runProgram(const QString& program, const QStringList& args, int timeoutMs) {
        QProcess cli;
        isolate(cli);
        QElapsedTimer clock;
        clock.start();
        cli.start(program, args);
        Finished result;
        if (!cli.waitForFinished(timeoutMs)) {
            cli.kill();
            cli.waitForFinished(2000);
            result.crashed = true;
        }
        result.ms = clock.elapsed();
        result.crashed = result.crashed || cli.exitStatus() != QProcess::NormalExit;
        result.exitCode = cli.exitCode();
        result.err = QString::fromUtf8(cli.readAllStandardError());
        result.out = cli.readAllStandardOutput();
        return result;
    }

    QString write(const QString& name, const QByteArray& bytes) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }

    static QByteArray fontBytes(int size) {
        QByteArray bytes(size, '\0');
        for (int i = 0; i < size; ++i)
            bytes[i] = static_cast<char>((i * 7 + i / 253) & 0xFF);
        return bytes;
    }

    // Starts the tool and waits for a line of standard output that begins with prefix.
    bool startUntilLine(QProcess& cli, const QStringList& args, const QString& prefix) {
        isolate(cli);
        cli.start(kCli, args);
        while (cli.waitForReadyRead(10000)) {
            while (cli.canReadLine())
                if (QString::fromUtf8(cli.readLine()).startsWith(prefix))
                    return true;
        }
        return false;
    }

    QTemporaryDir dir;
};

TEST_F(CliTest, BadInputIsRefusedAtOnceWithExitTwo) {
    const QString font = write("font.bin", fontBytes(100));
    const QString notADevice = write("plain-file", "x");
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const QString tty = pty.slavePath();

    struct Case {
        QStringList args;
        const char* complaint;
    };
    const std::vector<Case> cases = {
        {{"download", "--port", "/dev/null", font}, "not a serial line"},
        {{"download", "--port", notADevice, font}, "not a serial device"},
        {{"download", "--port", dir.path(), font}, "not a serial device"},
        {{"download", "--net", "--ip", "192.168.1.300", "--mac", "00-11-22-33-44-55", font},
         "--ip"},
        {{"download", "--net", "--ip", "192.168.1.30", "--mac", "00:11:22:33:44:55", font},
         "--mac"},
        {{"inboot", "--net", "--ip", "10.0.0"}, "--ip"},
        // A FIFO would block the open until a writer came, with the stop signals held.
        {{"download", "--font", "--port", tty, fifo}, "not a regular file"},
        {{"download", "--port", tty, fifo}, "not a regular file"},
        {{"download", "--font", "--port", tty, dir.filePath("missing.bin")}, "cannot open"},
    };
    for (const Case& c : cases) {
        const Finished r = run(c.args);
        SCOPED_TRACE(c.args.join(' ').toStdString());
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, 2) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(c.complaint)) << r.err.toStdString();
        EXPECT_LT(r.ms, 2000);
    }
}

// (An image refused once the link is up is in the history test.)
TEST_F(CliTest, AFileNameThatIsNotUtf8LoadsTheVeryFileItNames) {
    PrinterSimProcess sim(dir);
    ASSERT_TRUE(sim.start());
    const QByteArray image = fontBytes(5000);
    const QByteArray rawName = QFile::encodeName(dir.path()) + "/f\xff\xfeont.bin";
    const int fd = ::open(rawName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, image.constData(), static_cast<size_t>(image.size())), image.size());
    ::close(fd);
    const Finished odd =
        runInBash(R"(exec "$0" download --font --port "$1" "$2/f$(printf '\377\376')ont.bin")",
                  {sim.link(), dir.path()}, 20000);
    EXPECT_FALSE(odd.crashed);
    EXPECT_EQ(odd.exitCode, 0) << odd.err.toStdString();
    sim.stop();
    ::unlink(rawName.constData()); // QDir cannot name it to remove it
    const Bytes received = sim.received();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(received.data()),
                         static_cast<qsizetype>(received.size())),
              image);
}

TEST_F(CliTest, StopSignalsCancelThenStopAndNeverCutTheClosingFrames) {
    struct Case {
        const char* name;
        QStringList faults;
        int imageBytes;
        const char* waitFor; // the line after which the signals go
        int stops;           // stop signals sent
        int exitCode;
        const char* said; // on standard output or error
        bool endFrames;   // the printer saw the end frame
    };
    const std::vector<Case> cases = {
        // A frame in flight finishes its attempts, then no data frame follows.
        {"cancel during the data frames",
         {"--think", "20"},
         100 * 1024,
         "frame 1/",
         1,
         1,
         "cancelled: cancelled",
         false},
        // The end and final frames go on after a cancel, and the download completes.
        {"cancel in the closing frames",
         {"--think", "300"},
         100,
         "sending the closing frames",
         1,
         0,
         "finishing the closing frames",
         true},
        // A second signal ends the wait for a silent printer at once.
        {"second signal stops at once",
         {"--silent"},
         100,
         "linked",
         2,
         1,
         "failed: stopped — stopped at once: the printer may hold a partial image",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir simDir;
        PrinterSimProcess sim(simDir);
        ASSERT_TRUE(sim.start(c.faults));
        const QString font = write("font.bin", fontBytes(c.imageBytes));
        QProcess cli;
        ASSERT_TRUE(startUntilLine(
            cli, {"download", "--lang", "en", "--font", "--port", sim.link(), font}, c.waitFor));
        QElapsedTimer clock;
        clock.start();
        ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
        if (c.stops == 2)
            ::kill(static_cast<pid_t>(cli.processId()), SIGTERM);
        ASSERT_TRUE(cli.waitForFinished(3000));
        EXPECT_LT(clock.elapsed(), 1500);
        EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(cli.exitCode(), c.exitCode);
        const QString said =
            QString::fromUtf8(cli.readAllStandardOutput() + cli.readAllStandardError());
        EXPECT_TRUE(said.contains(c.said)) << said.toStdString();
        const QJsonObject report = sim.stop();
        EXPECT_LT(report["data_frames"].toInt(), 50);
        EXPECT_EQ(report["end_frames"].toInt() > 0, c.endFrames);
    }
}

TEST_F(CliTest, EachCauseInTheCommandLinesOwnWordsNeverTheWindowsChineseOnlyTexts) {
    QByteArray program;
    for (int i = 0; i < 1024; ++i)
        program += static_cast<char>(i & 0xFF);
    const QString badTrailer = write("bad.bin", program + QByteArray(4, '\0'));
    const QString font = write("font.bin", fontBytes(10 * 1024));
    struct Case {
        QStringList faults; // empty: no printer is needed
        QString file;
        QStringList port;
        int exitCode;
        const char* line;
    };
    const std::vector<Case> cases = {
        {{"--drop", "2:3"},
         font,
         {},
         1,
         "failed: printer-silent — the printer did not answer frame 2 (3 attempts)"},
        {{"--refuse", "3:5:3"},
         font,
         {},
         1,
         "failed: printer-refused — the printer refused frame 3 (3 attempts)"},
        {{"--disconnect-after", "2"}, font, {}, 1, "failed: disconnected"},
        {{}, badTrailer, {"--port", "COM7"}, 2, "refused: bad-trailer — the program's trailing"},
        {{}, font, {"--port", "COM200"}, 1, "failed: printer-absent"},
    };
    // The window's texts that exist in Chinese only, and its idle state.
    const QRegularExpression chinese(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        QTemporaryDir simDir;
        PrinterSimProcess sim(simDir);
        QStringList port = c.port;
        if (!c.faults.isEmpty()) {
            ASSERT_TRUE(sim.start(c.faults));
            port = {"--port", sim.link()};
        }
        const QStringList fontFlag = c.file == font ? QStringList{"--font"} : QStringList{};
        const Finished r = run(
            QStringList{"download", "--lang", "en"} + fontFlag + port + QStringList{c.file}, 20000);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        const QString said = QString::fromUtf8(r.out) + r.err;
        EXPECT_TRUE(said.contains(c.line)) << said.toStdString();
        EXPECT_FALSE(said.contains(chinese)) << said.toStdString();
        EXPECT_FALSE(said.contains("idel")) << said.toStdString();
    }
}

TEST_F(CliTest, ClosedOutputPipeDoesNotStopTheDownload) {
    PrinterSimProcess sim(dir);
    ASSERT_TRUE(sim.start({"--think", "5"}));
    const QByteArray image = fontBytes(100 * 1024);
    const QString font = write("font.bin", image);
    // head leaves after two lines; every later status line meets a closed pipe.
    const Finished piped = runInBash(
        R"("$0" download --font --port "$1" "$2" | head -n 2 >/dev/null; exit ${PIPESTATUS[0]})",
        {sim.link(), font}, 30000);
    EXPECT_FALSE(piped.crashed);
    EXPECT_EQ(piped.exitCode, 0) << piped.err.toStdString();
    sim.stop();
    const Bytes received = sim.received();
    EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(received.data()),
                         static_cast<qsizetype>(received.size())),
              image);
}

// One JSON object per line of standard output.
std::vector<QJsonObject> jsonLines(const QByteArray& out) {
    std::vector<QJsonObject> objects;
    for (const QByteArray& line : out.split('\n'))
        if (!line.isEmpty())
            objects.push_back(QJsonDocument::fromJson(line).object());
    return objects;
}

TEST_F(CliTest, CheckTellsWhatWouldBeSentOrWhyNot) {
    // CRC-16/XMODEM of "123456789" is 31C3h.
    const Finished font = run({"check", "--json", "--font", write("font.bin", "123456789")});
    EXPECT_EQ(font.exitCode, 0) << font.err.toStdString();
    const auto sendable = jsonLines(font.out);
    ASSERT_EQ(sendable.size(), 1u) << font.out.toStdString();
    EXPECT_EQ(sendable[0]["crc16"].toInt(), 0x31C3);
    EXPECT_EQ(sendable[0]["frames"].toInt(), 1);
    EXPECT_EQ(sendable[0]["size"].toInt(), 9);
    EXPECT_TRUE(sendable[0]["sendable"].toBool());

    QByteArray program;
    for (int i = 0; i < 1024; ++i)
        program += static_cast<char>(i & 0xFF);
    // Refused for the download's own reasons, with exit 2.
    const Finished wrongSum = run({"check", write("bad.bin", program + QByteArray(4, '\0'))});
    EXPECT_EQ(wrongSum.exitCode, 2);
    EXPECT_TRUE(wrongSum.out.contains("trailer sum:  wrong")) << wrongSum.out.toStdString();
    EXPECT_TRUE(wrongSum.out.contains("Error opening the file")) << wrongSum.out.toStdString();
}

TEST_F(CliTest, HistoryRecordsEachDownloadAsItEndedWithItsDeviceAndCause) {
    PrinterSimProcess sim(dir);
    ASSERT_TRUE(sim.start({"--think", "20"}));
    // The user's map names the device COM7: the record keeps both.
    QDir().mkpath(dir.filePath("config/posflash"));
    write("config/posflash/comports.ini", "[ports]\nCOM7=" + sim.link().toUtf8() + "\n");
    const QString font = write("font.bin", "123456789");
    // Two tools, each its own process and database connection, finishing together.
    QTemporaryDir otherDir;
    PrinterSimProcess other(otherDir);
    ASSERT_TRUE(other.start());
    QProcess a;
    QProcess b;
    isolate(a);
    isolate(b);
    a.start(kCli, {"download", "--font", "--port", sim.link(), font});
    b.start(kCli, {"download", "--font", "--port", other.link(), font});
    EXPECT_TRUE(a.waitForFinished(20000));
    EXPECT_TRUE(b.waitForFinished(20000));
    EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
    EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
    // Refused once the link is up: recorded too.
    EXPECT_EQ(run({"download", "--font", "--port", sim.link(), write("e.bin", {})}, 20000).exitCode,
              2);
    // Stopped by Ctrl-C: cancelled, not failed.
    QProcess cancelled;
    ASSERT_TRUE(startUntilLine(
        cancelled,
        {"download", "--font", "--port", sim.link(), write("big.bin", fontBytes(100 * 1024))},
        "frame 1/"));
    ::kill(static_cast<pid_t>(cancelled.processId()), SIGINT);
    ASSERT_TRUE(cancelled.waitForFinished(3000));
    sim.stop();

    const Finished history = run({"history", "--json"});
    EXPECT_EQ(history.exitCode, 0) << history.err.toStdString();
    const auto records = jsonLines(history.out);
    ASSERT_EQ(records.size(), 4u) << history.out.toStdString();
    EXPECT_EQ(records[0]["result"].toString(), "cancelled");
    EXPECT_EQ(records[0]["reason"].toString(), "cancelled");
    EXPECT_EQ(records[1]["result"].toString(), "refused");
    EXPECT_EQ(records[1]["reason"].toString(), "empty-image");
    const QJsonObject done =
        records[2]["device"].toString() == sim.link() ? records[2] : records[3];
    EXPECT_EQ((records[2]["device"].toString() == sim.link() ? records[3] : records[2])["device"],
              other.link());
    EXPECT_EQ(done["result"].toString(), "completed");
    EXPECT_EQ(done["front_end"].toString(), "cli");
    EXPECT_EQ(done["kind"].toString(), "font");
    EXPECT_EQ(done["device"].toString(), sim.link());
    EXPECT_EQ(done["com"].toInt(), 7);
    EXPECT_EQ(done["file"].toString(), font);
    EXPECT_EQ(done["size"].toInt(), 9);
    EXPECT_EQ(done["crc16"].toInt(), 0x31C3);
    EXPECT_EQ(done["frames"].toInt(), 1);
    EXPECT_TRUE(done["reason"].isNull());
    EXPECT_EQ(jsonLines(run({"history", "--json", "--limit", "1"}).out).size(), 1u);
}

} // namespace
} // namespace posflash
