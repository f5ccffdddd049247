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
    static Finished run(const QStringList& args, int timeoutMs = 5000) {
        return runProgram(kCli, args, timeoutMs);
    }
    // The tool behind a bash command line, which gets the tool as $0 and then args.
    static Finished runInBash(const QString& script, const QStringList& args, int timeoutMs) {
        return runProgram("bash", QStringList{"-c", script, kCli} + args, timeoutMs);
    }

    static Finished runProgram(const QString& program, const QStringList& args, int timeoutMs) {
        QProcess cli;
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
    static bool startUntilLine(QProcess& cli, const QStringList& args, const QString& prefix) {
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

TEST_F(CliTest, AgainstThePrinterRefusedImageExitsTwoAndAnyFileNameLoads) {
    PrinterSimProcess sim(dir);
    ASSERT_TRUE(sim.start());

    // The empty font is only refused once the link is up.
    const Finished empty =
        run({"download", "--font", "--port", sim.link(), write("empty.bin", {})});
    EXPECT_EQ(empty.exitCode, 2) << empty.err.toStdString();
    EXPECT_TRUE(empty.err.contains("empty")) << empty.err.toStdString();

    // A name that is not UTF-8 reaches the very file it names.
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

TEST_F(CliTest, StopSignalEndsTheRunPromptlyWithExitOne) {
    // During the link wait: nothing answers on the line.
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const QString font = write("font.bin", fontBytes(100 * 1024));
    QProcess linking;
    ASSERT_TRUE(startUntilLine(linking, {"download", "--font", "--port", pty.slavePath(), font},
                               "Establishing"));
    QElapsedTimer clock;
    clock.start();
    linking.terminate();
    ASSERT_TRUE(linking.waitForFinished(3000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(linking.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(linking.exitCode(), 1);

    // During a frame wait: a printer that thinks 20 ms before each reply.
    PrinterSimProcess sim(dir);
    ASSERT_TRUE(sim.start({"--think", "20"}));
    QProcess loading;
    ASSERT_TRUE(startUntilLine(loading, {"download", "--font", "--port", sim.link(), font},
                               "Downloading NO.1 "));
    clock.restart();
    ::kill(static_cast<pid_t>(loading.processId()), SIGINT);
    ASSERT_TRUE(loading.waitForFinished(3000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(loading.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(loading.exitCode(), 1);
    const QJsonObject report = sim.stop();
    EXPECT_LT(report["data_frames"].toInt(), 50);
    EXPECT_EQ(report["end_frames"].toInt(), 0);
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

    // 1028 bytes: two full 512-byte frames and one of four; the trailer is the sum of the
    // 1024 bytes before it (four times 0+1+...+255 = 130560 = 0x0001FE00, little-endian).
    QByteArray program;
    for (int i = 0; i < 1024; ++i)
        program += static_cast<char>(i & 0xFF);
    const Finished good =
        run({"check", "--json", write("good.bin", program + QByteArray("\x00\xFE\x01\x00", 4))});
    EXPECT_EQ(good.exitCode, 0) << good.err.toStdString();
    const auto counted = jsonLines(good.out);
    ASSERT_EQ(counted.size(), 1u);
    EXPECT_EQ(counted[0]["frames"].toInt(), 3);
    EXPECT_TRUE(counted[0]["trailer_sum"].toBool());

    // Refused for the download's own reasons, with exit 2.
    const Finished wrongSum = run({"check", write("bad.bin", program + QByteArray(4, '\0'))});
    EXPECT_EQ(wrongSum.exitCode, 2);
    EXPECT_TRUE(wrongSum.out.contains("trailer sum:  wrong")) << wrongSum.out.toStdString();
    EXPECT_TRUE(wrongSum.out.contains("Error opening the file")) << wrongSum.out.toStdString();
    const Finished empty = run({"check", "--font", write("empty.bin", {})});
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_TRUE(empty.out.contains("empty")) << empty.out.toStdString();
}

TEST_F(CliTest, HistoryListsEachDownloadNewestFirst) {
    const QByteArray previous = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
    PrinterSimProcess sim(dir);
    ASSERT_TRUE(sim.start());
    const QString font = write("font.bin", "123456789");
    EXPECT_EQ(run({"download", "--font", "--port", sim.link(), font}, 20000).exitCode, 0);
    // Refused once the link is up: recorded too.
    EXPECT_EQ(run({"download", "--font", "--port", sim.link(), write("e.bin", {})}, 20000).exitCode,
              2);
    sim.stop();

    const Finished history = run({"history", "--json"});
    const Finished newest = run({"history", "--json", "--limit", "1"});
    qputenv("XDG_DATA_HOME", previous);
    EXPECT_EQ(history.exitCode, 0) << history.err.toStdString();
    const auto records = jsonLines(history.out);
    ASSERT_EQ(records.size(), 2u) << history.out.toStdString();
    EXPECT_EQ(records[0]["result"].toString(), "refused");
    EXPECT_TRUE(records[0]["reason"].toString().contains("empty"));
    const QJsonObject& done = records[1];
    EXPECT_EQ(done["result"].toString(), "completed");
    EXPECT_EQ(done["front_end"].toString(), "cli");
    EXPECT_EQ(done["kind"].toString(), "font");
    EXPECT_EQ(done["device"].toString(), sim.link());
    EXPECT_EQ(done["file"].toString(), font);
    EXPECT_EQ(done["size"].toInt(), 9);
    EXPECT_EQ(done["crc16"].toInt(), 0x31C3);
    EXPECT_EQ(done["frames"].toInt(), 1);
    EXPECT_EQ(done["retries"].toInt(), 0);
    EXPECT_TRUE(done["reason"].isNull());
    EXPECT_EQ(jsonLines(newest.out).size(), 1u);
}

TEST_F(CliTest, TwoProcessesRecordingAtOnceBothLand) {
    const QByteArray previous = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath("data")));
    QTemporaryDir firstDir;
    QTemporaryDir secondDir;
    PrinterSimProcess first(firstDir);
    PrinterSimProcess second(secondDir);
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    const QString font = write("font.bin", fontBytes(4096));
    // Two tools, each its own process and database connection, finishing together.
    QProcess a;
    QProcess b;
    a.start(kCli, {"download", "--font", "--port", first.link(), font});
    b.start(kCli, {"download", "--font", "--port", second.link(), font});
    EXPECT_TRUE(a.waitForFinished(20000));
    EXPECT_TRUE(b.waitForFinished(20000));
    EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
    EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
    const Finished history = run({"history", "--json"});
    qputenv("XDG_DATA_HOME", previous);
    const auto records = jsonLines(history.out);
    ASSERT_EQ(records.size(), 2u) << history.out.toStdString();
    QStringList devices{records[0]["device"].toString(), records[1]["device"].toString()};
    devices.sort();
    QStringList expected{first.link(), second.link()};
    expected.sort();
    EXPECT_EQ(devices, expected);
}

} // namespace
} // namespace posflash
