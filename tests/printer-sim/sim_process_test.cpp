// The simulator as the tool meets it: a process, a pseudo-terminal, signals.

#include "sim_frames.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace posflash::sim {
namespace {

using namespace testing;

class SimProcess : public ::testing::Test {
protected:
    void start(const QStringList& extra) {
        ASSERT_TRUE(dir.isValid());
        QStringList args{"serial", "--link", link(), "--out", out(), "--report", report()};
        process.start(QStringLiteral(PRINTER_SIM_PATH), args + extra);
        ASSERT_TRUE(process.waitForStarted(5000));
        while (!process.canReadLine())
            ASSERT_TRUE(process.waitForReadyRead(5000));
        const QByteArray first = process.readLine();
        ASSERT_TRUE(first.startsWith("PTY /dev/pts/")) << first.toStdString();
        ASSERT_EQ(QFileInfo(link()).symLinkTarget(), QString::fromLatin1(first.mid(4).trimmed()));
        fd = ::open(QFile::encodeName(link()).constData(), O_RDWR | O_NOCTTY);
        ASSERT_GE(fd, 0);
        termios raw{};
        ::tcgetattr(fd, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(fd, TCSANOW, &raw);
    }

    void TearDown() override {
        if (fd >= 0)
            ::close(fd);
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(2000);
        }
    }

    // The bytes of each read until `want` bytes came or a read waited `waitMs` in vain.
    std::vector<Bytes> readReplies(std::size_t want, int waitMs = 3000) {
        std::vector<Bytes> reads;
        for (std::size_t got = 0; got < want;) {
            pollfd p{fd, POLLIN, 0};
            std::uint8_t buffer[256];
            const ssize_t n = ::poll(&p, 1, waitMs) == 1 ? ::read(fd, buffer, sizeof buffer) : 0;
            if (n <= 0)
                break;
            reads.emplace_back(buffer, buffer + n);
            got += static_cast<std::size_t>(n);
        }
        return reads;
    }

    Bytes exchange(const Bytes& frame, std::size_t replySize) {
        EXPECT_EQ(::write(fd, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
        Bytes all;
        for (const Bytes& r : readReplies(replySize))
            all.insert(all.end(), r.begin(), r.end());
        return all;
    }

    QJsonObject reportJson() const {
        QFile f(report());
        return f.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(f.readAll()).object()
                                           : QJsonObject{};
    }

    QString link() const { return dir.filePath("printer-tty"); }
    QString out() const { return dir.filePath("image.bin"); }
    QString report() const { return dir.filePath("report.json"); }

    QTemporaryDir dir;
    QProcess process;
    int fd = -1;
    const Bytes image = patternImage(1000);
};

TEST_F(SimProcess, WholeDownloadWritesImageAndReportThenExitsOnce) {
    start({"--once"});
    EXPECT_EQ(exchange(startFrame(0x80, image), 11).at(4), 0x04);
    EXPECT_EQ(exchange(dataFrame(0x80, image, 1), 13).at(11), 1);
    EXPECT_EQ(exchange(dataFrame(0x80, image, 2), 13).at(11), 2);
    EXPECT_EQ(exchange(closingFrame(0x80, 0x51, image), 11).at(6), 0x51);
    EXPECT_EQ(exchange(closingFrame(0x80, 0x56, image), 11).at(6), 0x56);

    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 0);
    QFile received(out());
    ASSERT_TRUE(received.open(QIODevice::ReadOnly));
    const QByteArray bytes = received.readAll();
    EXPECT_EQ(Bytes(bytes.begin(), bytes.end()), image);
    const QJsonObject json = reportJson();
    EXPECT_EQ(json["sessions_completed"].toInt(), 1);
    EXPECT_TRUE(json["errors"].toArray().isEmpty());
    EXPECT_EQ(json["tool_time_per_frame_us"].toObject()["count"].toInt(), 4);
    EXPECT_TRUE(process.readAllStandardOutput().contains("SESSION 1 program 1000 bytes, CRC ok"));
    EXPECT_FALSE(QFileInfo(link()).isSymLink()); // a stale link would point at a dead pty
}

TEST_F(SimProcess, SplitReplyArrivesAsTwoReceptions) {
    start({"--split", "150"});
    ASSERT_EQ(::write(fd, startFrame(0x80, image).data(), 555), 555);
    const auto reads = readReplies(11);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].size(), 5u);
    EXPECT_EQ(reads[1].size(), 6u);
}

TEST(SimCommandLine, BadFaultValueGivesUsageAndExit2) {
    QProcess process;
    process.start(QStringLiteral(PRINTER_SIM_PATH), {"serial", "--refuse", "3:7:1"});
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardError().contains("usage:"));
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty()); // no pty was opened
}

} // namespace
} // namespace posflash::sim
