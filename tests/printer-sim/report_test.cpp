#include "printer-sim/report.h"

#include "sim_frames.h"

#include <QElapsedTimer>
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

TEST(Percentile, IsTheNearestRank) {
    std::vector<std::int64_t> hundred;
    for (int i = 100; i >= 1; --i)
        hundred.push_back(i);
    EXPECT_EQ(Percentile(hundred, 50), 50);
    EXPECT_EQ(Percentile(hundred, 99), 99);
    EXPECT_EQ(Percentile({1, 2, 3}, 50), 2);
    EXPECT_EQ(Percentile({}, 50), 0);
}

// The benchmarks read the tool's time per frame from here; no end-to-end test looks at it.
TEST(Report, NamesStrayBytesAndTimesTheToolFromEachReplyToTheNextFrame) {
    const Bytes image = patternImage(1000);
    BootLoader loader;
    std::int64_t now = 0;
    const auto send = [&](const Bytes& frame) {
        for (const Reply& r : loader.feed(frame, now += 100))
            loader.replyWritten(r, now += 10);
    };
    send(Bytes{0x00, 0x01}); // line noise before the download
    send(startFrame(0x80, image));
    send(dataFrame(0x80, image, 1));
    send(dataFrame(0x80, image, 2));
    send(closingFrame(0x80, 0x51, image));
    send(closingFrame(0x80, 0x56, image));

    const QJsonObject report = QJsonDocument::fromJson(ReportJson(loader)).object();
    const QJsonArray errors = report["errors"].toArray();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].toString().contains("2 bytes outside any frame"));
    const QJsonObject timing = report["tool_time_per_frame_us"].toObject();
    EXPECT_EQ(timing["count"].toInt(), 4); // every reply but the last was followed by a frame
    EXPECT_EQ(timing["median"].toInt(), 100);
}

// At 9600 baud a byte takes 1.04 ms. A reply that reaches the tool sooner than the frame's
// bytes and its own allow, or a report that miscounts them, fails here. Lower bounds only: a
// busy machine may always be slower.
TEST(WirePacing, EachExchangeTakesTheWireTimeOfItsBytesAndTheReportSumsThem) {
    constexpr int kBaud = 9600;
    const auto wireNs = [](std::size_t bytes) { return bytes * 10 * 1'000'000'000LL / kBaud; };
    QTemporaryDir dir;
    QProcess sim;
    sim.start(QStringLiteral(POSFLASH_SIM_PATH),
              {"serial", "--baud", QString::number(kBaud), "--link", dir.filePath("tty"),
               "--report", dir.filePath("report.json"), "--once"});
    while (!sim.canReadLine())
        ASSERT_TRUE(sim.waitForReadyRead(5000));
    ASSERT_TRUE(sim.readLine().startsWith("PTY ")); // the printer listens
    const int fd = ::open(QFile::encodeName(dir.filePath("tty")).constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    termios raw{};
    ::tcgetattr(fd, &raw);
    ::cfmakeraw(&raw);
    ::tcsetattr(fd, TCSANOW, &raw);

    const Bytes image = patternImage(100);
    const Bytes frames[] = {startFrame(0x80, image), dataFrame(0x80, image, 1),
                            closingFrame(0x80, 0x51, image), closingFrame(0x80, 0x56, image)};
    std::size_t sent = 0;
    std::size_t answered = 0;
    for (const Bytes& frame : frames) {
        const std::size_t replyLength = frame[6] == 0x54 ? 13 : 11;
        QElapsedTimer exchange;
        exchange.start();
        ASSERT_EQ(::write(fd, frame.data(), frame.size()), static_cast<ssize_t>(frame.size()));
        Bytes reply(replyLength);
        std::size_t got = 0;
        pollfd wait{fd, POLLIN, 0};
        while (got < replyLength && ::poll(&wait, 1, 5000) == 1) {
            const ssize_t n = ::read(fd, reply.data() + got, replyLength - got);
            got += n > 0 ? static_cast<std::size_t>(n) : 0;
        }
        ASSERT_EQ(got, replyLength) << "command " << int(frame[6]);
        EXPECT_EQ(reply[4], 0x04) << "command " << int(frame[6]);
        EXPECT_GE(exchange.nsecsElapsed(), wireNs(frame.size() + replyLength))
            << "command " << int(frame[6]);
        sent += frame.size();
        answered += replyLength;
    }
    ::close(fd);
    ASSERT_TRUE(sim.waitForFinished(5000));
    EXPECT_EQ(sim.exitCode(), 0);

    QFile file(dir.filePath("report.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject wire = QJsonDocument::fromJson(file.readAll()).object()["wire"].toObject();
    EXPECT_EQ(wire["baud"].toInt(), kBaud);
    EXPECT_EQ(wire["bytes_received"].toInteger(), static_cast<qint64>(sent));
    EXPECT_EQ(wire["bytes_sent"].toInteger(), static_cast<qint64>(answered));
    EXPECT_NEAR(wire["wire_time_us"].toDouble(), wireNs(sent + answered) / 1000.0, 1.0);
    EXPECT_GE(wire["first_byte_to_last_reply_us"].toInteger(), wireNs(sent + answered) / 1000);
}

} // namespace
} // namespace posflash::sim
