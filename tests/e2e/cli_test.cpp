// posflash-cli run as a process: what it does with bad input, signals and a closed output.
#include "support/cli_process.h"
#include "support/printer_sims.h"
#include "support/process_signal.h"
#include "support/pty_pair.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posflash {
namespace {

using namespace testing;

class CliTest : public ::testing::Test {
protected:
    Finished run(const QStringList& args, int timeoutMs = 5000) {
        return runCli(dir.path(), args, timeoutMs);
    }
    // The tool behind a bash command line, which gets the tool as $0 and then args.
    Finished runInBash(const QString& script, const QStringList& args, int timeoutMs) {
        return runCli(dir.path(), QStringList{"-c", script, POSFLASH_CLI_PATH} + args, timeoutMs,
                      "bash");
    }

    QString write(const QString& name, const QByteArray& bytes) {
        return WriteFile(dir.filePath(name), bytes);
    }
    // A program of 1028 bytes whose trailing sum is wrong.
    QString badTrailer() { return write("bad.bin", fontBytes(1024) + QByteArray(4, '\0')); }

    QTemporaryDir dir;
    PrinterSims sims;
};

TEST_F(CliTest, BadInputIsRefusedAtOnceWithExitTwo) {
    const QString font = write("font.bin", fontBytes(100));
    const QString fifo = dir.filePath("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    const QString tty = pty.slavePath();

    // clang-format off
    const struct { QStringList args; const char* complaint; } cases[] = {
        {{"inboot", "--net", "--ip", "10.0.0"}, "--ip"},
        // A FIFO would block the open until a writer came, with the stop signals held.
        {{"download", "--font", "--port", tty, fifo}, "not a regular file"},
        {{"download", "--port", tty, fifo}, "not a regular file"},
        {{"download", "--font", "--port", tty, dir.filePath("missing.bin")}, "cannot open"},
        // One answer for one wrong port, whatever names it: a COM number with no device behind
        // it is as missing as a node that is not there; a node that is there but no serial line
        // has a cause of its own.
        {{"download", "--font", "--port", "COM9", font}, "refused: port-missing — there is no such port (COM9)"},
        {{"download", "--json", "--font", "--port", "COM9", font}, R"("cause":"port-missing")"},
        {{"download", "--font", "--port", tty, "--port", "COM9", font}, "refused: port-missing"},
        {{"download", "--font", "--port", "/dev/ttyUSB9", font}, "refused: port-missing — there is no such port (/dev/ttyUSB9)"},
        {{"download", "--json", "--font", "--port", "/dev/ttyUSB9", font}, R"("cause":"port-missing")"},
        {{"inboot", "--port", "COM9"}, "refused: port-missing — there is no such port (COM9)"},
        {{"inboot", "--port", "/dev/ttyUSB9"}, "refused: port-missing"},
        {{"download", "--font", "--port", "/dev/null", font}, "refused: port-not-serial — the port is not a serial line (/dev/null)"},
        {{"download", "--json", "--font", "--port", "/dev/null", font}, R"("cause":"port-not-serial")"},
        {{"inboot", "--port", "/dev/null"}, "refused: port-not-serial"},
        {{"download", "--lang", "zh", "--font", "--port", "/dev/null", font}, "port-not-serial — 该端口不是串口 (/dev/null)"},
        // The check refuses for the download's own reasons.
        {{"check", badTrailer()}, "trailer sum:  wrong"},
        {{"check", badTrailer()}, "the program's trailing checksum is wrong"},
        // A name's escape sequences reach no terminal raw.
        {{"check", dir.filePath("red\x1b[31m.bin")}, "red\\x1B[31m.bin"},
        // With --json every ending is an object with its outcome and cause, usage errors too.
        {{"check", "--json", badTrailer()}, R"("cause":"bad-trailer")"},
        {{"check", "--json", dir.path()}, R"("cause":"file-not-open")"},
        {{"download", "--json", "--port", tty, dir.filePath("missing.bin")}, R"("cause":"file-not-open")"},
        {{"download", "--json", "--port", tty, badTrailer()}, R"("cause":"bad-trailer")"},
        {{"download", "--json", "--bogus", font}, R"("cause":"usage")"},
        {{"download", "--port", tty, "--port", "COM7", "--label", "SN-1", font}, "--label is given once for 2 printers"},
        // A rollout's options: refused before the image is read.
        {{"download", "--net", "--ip", "10.0.0.2", "--mac", "00-11-22-33-44-55", "--window", "22:00-06:00", "--timezone", "Mars/Base", font}, "--timezone Mars/Base is no time zone"},
        {{"download", "--net", "--ip", "10.0.0.2", "--mac", "00-11-22-33-44-55", "--window", "22:00", font}, "--window is HH:MM-HH:MM"},
        {{"download", "--net", "--ip", "10.0.0.2", "--mac", "00-11-22-33-44-55", "--timezone", "UTC", font}, "give --window with it"},
        {{"download", "--net", "--ip", "10.0.0.2", "--mac", "00-11-22-33-44-55", "--verify-back", "0", font}, "--verify-back is a number"},
        {{"download", "--port", tty, "--skip-current", font}, "go with --net"},
        {{"printers", "--json"}, "printers needs --net"},
        {{"history", "--central"}, "--central needs --records URI"},
        {{"history", "--outcome", "passed"}, "--outcome is "},
        {{"history", "--format", "xml"}, "--format is table, json or csv"},
        {{"history", "--format", "csv", "--json"}, "--json is --format json"},
    };
    // clang-format on
    for (const auto& c : cases) {
        const Finished r = run(c.args);
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const QString said = QString::fromUtf8(r.out) + r.err;
        EXPECT_FALSE(r.crashed);
        EXPECT_EQ(r.exitCode, 2) << said.toStdString();
        EXPECT_TRUE(said.contains(c.complaint)) << said.toStdString();
        EXPECT_LT(r.ms, 2000);
    }
    // Reading a history that is not there makes nothing.
    const QTemporaryDir empty;
    EXPECT_EQ(runCli(empty.path(), {"history"}).exitCode, 0);
    EXPECT_FALSE(QFileInfo::exists(empty.filePath("data/posflash")));
    // Without --lang the locale decides, as for the window; check says a download's words.
    const Finished zh =
        runInBash("LANG=zh_CN.UTF-8 exec \"$0\" \"$@\"", {"check", badTrailer()}, 5000);
    EXPECT_TRUE(QString::fromUtf8(zh.out).contains("程序末尾的校验和错误")) << zh.out.toStdString();
}

TEST_F(CliTest, StopSignalsCancelThenStopAndNeverCutTheClosingFrames) {
    // waitFor: the line after which the signals go; endFrames: the printer saw the end frame
    // clang-format off
    const struct { const char* name; QStringList faults; int imageBytes; const char* waitFor; int stops; int exitCode; const char* said; bool endFrames; } cases[] = {
        // A frame in flight finishes its attempts, then no data frame follows.
        {"cancel during the data frames", {"--think", "20"}, 100 * 1024, "  0%", 1, 1, "cancelled: cancelled by the user before the download was complete", false},
        // The end and final frames go on after a cancel, and the download completes.
        {"cancel in the closing frames", {"--think", "300"}, 100, "sending the closing frames", 1, 0, "finishing the closing frames", true},
        // A second signal ends the wait for a silent printer at once.
        {"second signal stops at once", {"--silent"}, 100, "waiting for the link", 2, 1, "failed: stopped — stopped at once: the printer may hold a partial image", false},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PrinterSimProcess& sim = sims.serial(c.faults);
        const QString font = write("font.bin", fontBytes(c.imageBytes));
        QProcess cli;
        ASSERT_TRUE(startUntil(cli, dir.path(),
                               {"download", "--lang", "en", "--font", "--port", sim.link(), font},
                               c.waitFor)
                        .contains(c.waitFor));
        QElapsedTimer clock;
        clock.start();
        posflash::test::signalProcess(cli, SIGINT);
        if (c.stops == 2)
            posflash::test::signalProcess(cli, SIGTERM);
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

TEST_F(CliTest, EachEndingSaysItsCauseAndWhatToDoInTheLanguageAskedNeverTheWindowsTexts) {
    const QString font = write("font.bin", fontBytes(10 * 1024));
    const QString tooLarge = write("huge.bin", "");
    ASSERT_TRUE(QFile::resize(tooLarge, 17'000'000)); // sparse: more frames than can be numbered
    // The denied port is opened by another user when the test runs as root, whom no mode stops.
    const bool root = ::geteuid() == 0;
    enum Printer { None, Sim, DeniedSim };
    // also: what to do, or more of the last line
    // clang-format off
    const struct { Printer printer; QStringList faults; QString file; QStringList port; const char* lang; int exitCode; const char* line; const char* also; } cases[] = {
        {Sim, {"--drop", "2:3"}, font, {}, "en", 1, "failed: printer-silent — the printer did not answer frame 2 (sent 3 times)", "what to do: check the cable or the network"},
        {Sim, {"--refuse", "3:5:3"}, font, {}, "en", 1, "failed: printer-refused — the printer refused frame 3 (sent 3 times)", "what to do: check that the image is meant for this printer"},
        {Sim, {"--disconnect-after", "2"}, font, {}, "en", 1, "failed: disconnected", "reconnect"},
        // A printer that restarts after its download closes the line: nothing more to say.
        {Sim, {"--once"}, font, {}, "en", 0, "completed: 10240 bytes in ", ", printer accepted\n"},
        {DeniedSim, {}, font, {}, "en", 1, "failed: permission — permission denied", "what to do: install posflash's udev rule (60-posflash.rules, as the package does), or " "join the dialout group"},
        {None, {}, badTrailer(), {"--port", "COM7"}, "en", 2, "refused: bad-trailer — the program's trailing", "get the firmware file again"},
        {None, {}, badTrailer(), {"--port", "COM7"}, "zh", 2, "被拒绝: bad-trailer — 程序末尾的校验和错误", "处理办法：文件已损坏或不是程序映像"},
        {None, {}, tooLarge, {"--port", "COM7"}, "en", 2, "refused: too-large — the image is too large", "what to do: check that this is the right file"},
        {None, {}, font, {"--port", "COM1"}, "en", 1, "failed: printer-absent", "plug the printer in"},
    };
    // clang-format on
    // The window's texts that exist in Chinese only, and its idle state.
    const QRegularExpression chinese(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const QString link = c.printer == None ? QString() : sims.serial(c.faults).link();
        const QStringList port = link.isEmpty() ? c.port : QStringList{"--port", link};
        QStringList args = QStringList{"download", "--lang", c.lang} +
                           (c.file == font ? QStringList{"--font"} : QStringList{}) + port +
                           QStringList{c.file};
        QString program = POSFLASH_CLI_PATH;
        if (c.printer == DeniedSim) {
            const QString node = QFileInfo(link).canonicalFilePath();
            ASSERT_TRUE(QFile::setPermissions(node, root ? QFile::ReadOwner | QFile::WriteOwner
                                                         : QFile::Permissions{}));
            if (root) {
                // The user nobody reaches the image and the link, and keeps no history.
                for (const QString& folder : {dir.path(), QFileInfo(link).path()})
                    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);
                args = QStringList{"--reuid=65534", "--regid=65534", "--clear-groups",
                                   POSFLASH_CLI_PATH} +
                       args;
                program = "setpriv";
            }
        }
        const Finished r = runCli(dir.path(), args, 20000, program);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err.toStdString();
        const QString said = QString::fromUtf8(r.out) + r.err;
        EXPECT_TRUE(said.contains(c.line)) << said.toStdString();
        EXPECT_TRUE(said.contains(c.also)) << said.toStdString();
        // The frames never reached the port: nothing went unanswered.
        if (c.printer == DeniedSim) {
            EXPECT_FALSE(said.contains("no answer")) << said.toStdString();
        }
        if (QLatin1String(c.lang) == "en") {
            EXPECT_FALSE(said.contains(chinese)) << said.toStdString();
        }
        EXPECT_FALSE(said.contains("idel")) << said.toStdString();
    }
}

// Downloads at once, one named in no UTF-8 into a closing pipe: each recorded as it went.
TEST_F(CliTest, HistoryRecordsEachDownloadWithItsDeviceAndCauseAsCheckForetold) {
    PrinterSimProcess sim(dir);
    ASSERT_TRUE(sim.start({"--think", "20"}));
    // The user's map names the device COM7: the record keeps both.
    write("config/posflash/comports.ini", "[ports]\nCOM7=" + sim.link().toUtf8() + "\n");
    const QString font = write("font.bin", "123456789");
    PrinterSimProcess& other = sims.serial({"--think", "5"});
    const QByteArray image = fontBytes(100 * 1024);
    const QByteArray rawName = QFile::encodeName(dir.path()) + "/f\xff\xfeont.bin";
    const int fd = ::open(rawName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, image.constData(), static_cast<size_t>(image.size())), image.size());
    ::close(fd);
    // Two tools with a database connection each; head leaves the second's pipe after two lines.
    QProcess a, b;
    isolate(a, dir.path());
    isolate(b, dir.path());
    a.start(POSFLASH_CLI_PATH, {"download", "--font", "--port", sim.link(), font});
    b.start("bash", {"-c",
                     R"("$0" download --font --port "$1" "$2/f$(printf '\377\376')ont.bin")"
                     R"( | head -n 2 >/dev/null; exit ${PIPESTATUS[0]})",
                     POSFLASH_CLI_PATH, other.link(), dir.path()});
    EXPECT_TRUE(a.waitForFinished(30000) && b.waitForFinished(30000));
    EXPECT_EQ(a.exitCode(), 0) << a.readAllStandardError().toStdString();
    EXPECT_EQ(b.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(b.exitCode(), 0) << b.readAllStandardError().toStdString();
    EXPECT_EQ(receivedBy(other), image);
    // Refused once the link is up: recorded too.
    EXPECT_EQ(run({"download", "--font", "--port", sim.link(), write("e.bin", {})}, 20000).exitCode,
              2);
    sim.stop();
    // Refused before any port, a name with control characters: recorded, on one table line.
    EXPECT_EQ(runInBash(R"("$0" download --port COM3 "$1/gone$(printf '\n\001')x.bin")",
                        {dir.path()}, 5000)
                  .exitCode,
              2);
    const QString table = QString::fromUtf8(run({"history"}).out);
    // A header, a line a download, the yields: of four rows of no unit, the two refused before
    // a frame reached their printer are no units.
    EXPECT_EQ(table.count('\n'), 7) << table.toStdString();
    EXPECT_TRUE(table.endsWith("\n2 units: first-pass yield 100.0 % (2), final yield 100.0 % "
                               "(2)\n2 attempts ended before the printer received a frame: not "
                               "counted\n"))
        << table.toStdString();
    EXPECT_TRUE(table.contains("file-not-open") && table.contains("/gone\\n\\x01x.bin"))
        << table.toStdString();

    const Finished history = run({"history", "--json"});
    EXPECT_EQ(history.exitCode, 0) << history.err.toStdString();
    const auto records = jsonLines(history.out);
    ASSERT_EQ(records.size(), 4u) << history.out.toStdString();
    EXPECT_EQ(records[0]["com"].toInt(), 3);
    EXPECT_EQ(records[1]["outcome"].toString(), "refused");
    EXPECT_EQ(records[1]["cause"].toString(), "empty-image");
    EXPECT_EQ(records[1]["reason_en"].toString(), "the file is empty");
    EXPECT_FALSE(records[1]["reason_zh"].toString().isEmpty());
    EXPECT_NE(records[1]["reason_zh"], records[1]["reason_en"]);
    const int mine = records[2]["device"].toString() == sim.link() ? 2 : 3;
    EXPECT_EQ(records[5 - mine]["device"].toString(), other.link());
    // Recorded by the name given, not by the descriptor that stood in for it.
    EXPECT_EQ(QByteArray::fromBase64(records[5 - mine]["path_base64"].toString().toLatin1()),
              rawName);
    EXPECT_EQ(records[5 - mine]["path"].toString(), dir.path() + "/f\\xFF\\xFEont.bin");
    EXPECT_NE(records[2]["uuid"], records[3]["uuid"]);
    const QString sha256 =
        QCryptographicHash::hash("123456789", QCryptographicHash::Sha256).toHex();
    // clang-format off
    const QJsonObject expected{{"outcome", "completed"}, {"front_end", "cli"}, {"kind", "font"}, {"device", sim.link()},
                               {"com", 7}, {"path", font}, {"size", 9}, {"sha256", sha256}, {"crc16", 0x31C3},
                               {"frames", 1}, {"cause", QJsonValue::Null}};
    // clang-format on
    for (auto it = expected.begin(); it != expected.end(); ++it)
        EXPECT_EQ(records[mine][it.key()], it.value()) << it.key().toStdString();
    // check tells beforehand what a download sends (CRC-16/XMODEM of "123456789" is 31C3h).
    const Finished check = run({"check", "--json", "--font", font});
    EXPECT_EQ(check.exitCode, 0) << check.err.toStdString();
    const auto told = jsonLines(check.out);
    ASSERT_EQ(told.size(), 1u) << check.out.toStdString();
    for (const char* key : {"crc16", "frames", "size"})
        EXPECT_EQ(told[0][key], expected[key]) << key;
    EXPECT_TRUE(told[0]["sendable"].toBool());
    EXPECT_EQ(jsonLines(run({"history", "--json", "--limit", "1"}).out).size(), 1u);
    ::unlink(rawName.constData()); // QDir cannot name it to remove it
}

TEST_F(CliTest, InbootFailsWhenThePrinterResetsTheConnectionBeforeTakingTheCommand) {
    // The firmware's port on a loopback address of its own resets each connection at once.
    const QString ip = QStringLiteral("127.0.79.1");
    QTcpServer printer;
    ASSERT_TRUE(printer.listen(QHostAddress(ip), 4000)) << printer.errorString().toStdString();
    QObject::connect(&printer, &QTcpServer::newConnection, [&printer] {
        while (QTcpSocket* socket = printer.nextPendingConnection()) {
            const linger now{1, 0};
            ::setsockopt(static_cast<int>(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now,
                         sizeof now);
            socket->abort();
            socket->deleteLater();
        }
    });
    // clang-format off
    const struct { const char* lang; QString notSent; QString reset; QString failed; } cases[] = {
        {"en", "the boot-loader command could not be sent", "the printer reset the connection before it took the command", "failed"},
        {"zh", QStringLiteral("引导命令未能发送"), QStringLiteral("打印机在接收命令之前重置了连接"), QStringLiteral("失败")},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lang);
        QProcess cli;
        isolate(cli, dir.path());
        QSignalSpy finished(&cli, &QProcess::finished);
        cli.start(POSFLASH_CLI_PATH, {"inboot", "--lang", c.lang, "--net", "--ip", ip});
        ASSERT_TRUE(finished.wait(10000));
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        EXPECT_EQ(cli.exitCode(), 1) << err.toStdString();
        const QString reset = QString::fromLocal8Bit(std::strerror(ECONNRESET));
        const QStringList lines = err.split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 4) << err.toStdString(); // what, the cause, what to do, and ""
        EXPECT_EQ(lines[0], QStringLiteral("%1: %2: %3 (%4)").arg(ip, c.notSent, c.reset, reset));
        // The result's outcome and cause, as a download ends.
        EXPECT_TRUE(lines[1].startsWith(c.failed + QStringLiteral(": monitor-unreachable — ")))
            << lines[1].toStdString();
        EXPECT_TRUE(lines[1].endsWith(QStringLiteral(" (%1)").arg(reset)))
            << lines[1].toStdString();
    }
}

} // namespace
} // namespace posflash
