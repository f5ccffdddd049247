// posflash-cli downloading to several simulated printers at once, run as a process.
#include "cli/text_width.h"
#include "support/cli_process.h"
#include "support/printer_sims.h"
#include "support/process_signal.h"

#include <QDate>
#include <QJsonArray>
#include <QMap>
#include <QRegularExpression>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include <sys/inotify.h>
#include <unistd.h>

namespace posflash {
namespace {

using namespace testing;

class MultiDownloadTest : public ::testing::Test {
protected:
    PrinterSimProcess& printer(const QStringList& faults = {}) { return sims_.serial(faults); }

    QString fontFile(int size, const QString& name = "font.bin") {
        image_ = fontBytes(size);
        return WriteFile(dir_.filePath(name), image_);
    }

    QTemporaryDir dir_;
    QByteArray image_;
    PrinterSims sims_;
};

// The image is opened twice in all, however many printers: the name checked, then read once.
TEST_F(MultiDownloadTest, FourPrintersOneRefusingOneSilentTheOthersCompleteAlone) {
    const QString font = fontFile(200 * 1024);
    const int opens = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(
        ::inotify_add_watch(opens, QFile::encodeName(font).constData(), IN_OPEN | IN_CLOSE_NOWRITE),
        0);
    PrinterSimProcess& good1 = printer({"--think", "5"});
    PrinterSimProcess& good2 = printer({"--think", "5"});
    const QStringList links = {good1.link(), good2.link(), printer({"--refuse", "5:5:3"}).link(),
                               printer({"--silent"}).link()};
    const Finished r = runCli(dir_.path(),
                              {"download", "--font", "--json", "--port", links[0], "--port",
                               links[1], "--port", links[2], "--port", links[3], font},
                              60000);
    ASSERT_FALSE(r.crashed) << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();

    const auto events = jsonLines(r.out);
    ASSERT_FALSE(events.empty());
    QMap<QString, QJsonObject> done;
    QMap<QString, double> lastProgress;
    double lastT = 0;
    for (const QJsonObject& o : events) {
        const double t = o["t"].toDouble();
        EXPECT_GE(t, lastT - 0.001) << "timestamps run forwards";
        lastT = std::max(lastT, t);
        const QString target = o["target"].toString();
        // Progress comes at most every 250 ms a printer, but for its first and last frame.
        if (o["event"] == "progress") {
            const bool edge = o["accepted"].toInt() == 0 || o["accepted"] == o["frames"];
            if (lastProgress.contains(target) && !edge) {
                EXPECT_GE(t - lastProgress[target], 0.245) << target.toStdString();
            }
            lastProgress[target] = t;
        }
        if (o["event"] == "done")
            done[target] = o;
    }
    const QJsonObject& summary = events.back();
    EXPECT_EQ(summary["event"], "summary");
    EXPECT_EQ(summary["targets"], 4);
    EXPECT_EQ(summary["completed"], 2);
    EXPECT_EQ(summary["failed"], 2);
    EXPECT_EQ(summary["exit"], 1);

    ASSERT_EQ(done.size(), 4);
    const char* results[] = {"completed/none", "completed/none", "failed/printer-refused",
                             "failed/printer-silent"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(done[links[i]]["result"].toString() + "/" + done[links[i]]["cause"].toString(),
                  results[i]);
    EXPECT_TRUE(done[links[0]]["crc16"].isDouble());
    // The silent printer's three start-frame waits never held the others up.
    EXPECT_GE(done[links[3]]["t"].toDouble(), 9.0);
    EXPECT_LT(done[links[0]]["t"].toDouble(), 6.0);
    EXPECT_LT(done[links[1]]["t"].toDouble(), 6.0);
    EXPECT_EQ(receivedBy(good1), image_);
    EXPECT_EQ(receivedBy(good2), image_);
    // Each open is followed by its close, so that no two open events merge.
    int opened = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(opens, buffer, sizeof buffer)) > 0;)
        for (char* e = buffer; e < buffer + n;
             e += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(e)->len)
            opened += (reinterpret_cast<inotify_event*>(e)->mask & IN_OPEN) != 0;
    ::close(opens);
    EXPECT_EQ(opened, 2);
}

TEST_F(MultiDownloadTest, PlainOutputEndsInASummaryTableAndAStopCancelsEveryPrinter) {
    const QString font = fontFile(60 * 1024);
    PrinterSimProcess& good = printer();
    PrinterSimProcess& refusing = printer({"--refuse", "2:6:3"});
    const QStringList args{"download", "--font",        "--port", good.link(),
                           "--port",   refusing.link(), font};
    const Finished r = runCli(dir_.path(), args, 30000);
    ASSERT_FALSE(r.crashed) << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 1);
    const QString out = QString::fromUtf8(r.out);
    const auto row = [](const QString& target, const char* rest) {
        return QRegularExpression(QRegularExpression::escape(target) + rest);
    };
    EXPECT_TRUE(out.contains(QRegularExpression("\ntarget +result +seconds +resends +reason\n")))
        << out.toStdString();
    EXPECT_TRUE(out.contains(row(good.link(), " +completed +[0-9.]+ +0\n"))) << out.toStdString();
    EXPECT_TRUE(out.contains(row(refusing.link(), " +failed +[0-9.]+ +2 +\\S")))
        << out.toStdString();
    EXPECT_TRUE(out.contains("frame 2 refused (status 6), resend 1")) << out.toStdString();
    EXPECT_TRUE(out.contains("\nprinter-refused: check that the image is meant for this printer\n"))
        << out.toStdString();
    EXPECT_TRUE(out.endsWith("1 of 2 completed, exit code 1\n")) << out.toStdString();

    // In Chinese the table's columns line up: a character of two columns counts as two.
    const QString zh =
        QString::fromUtf8(runCli(dir_.path(), args + QStringList{"--lang", "zh"}, 30000).out);
    const QStringList lines = zh.split('\n');
    const auto table = std::find_if(lines.begin(), lines.end(),
                                    [](const QString& l) { return l.startsWith("目标"); });
    ASSERT_NE(table, lines.end()) << zh.toStdString();
    // Where the third column (seconds) begins, in terminal columns.
    const auto thirdColumnAt = [](const QString& line) {
        const QStringList cells = line.split(QRegularExpression(" {2,}"));
        return cells.size() < 3 ? -1 : DisplayWidth(line.left(line.indexOf(cells[2])));
    };
    for (auto l = table + 1; l != table + 3 && l != lines.end(); ++l)
        EXPECT_EQ(thirdColumnAt(*l), thirdColumnAt(*table)) << zh.toStdString();
    EXPECT_EQ(receivedBy(good), image_);

    // A stop signal mid-way cancels both downloads promptly.
    PrinterSimProcess& slow1 = printer({"--think", "20"});
    PrinterSimProcess& slow2 = printer({"--think", "20"});
    QProcess cli;
    ASSERT_TRUE(
        startUntil(cli, dir_.path(),
                   {"download", "--font", "--port", slow1.link(), "--port", slow2.link(), font},
                   "linked")
            .contains("linked"));
    QElapsedTimer clock;
    clock.start();
    posflash::test::signalProcess(cli, SIGINT);
    ASSERT_TRUE(cli.waitForFinished(3000));
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 1);
    const QString stopped = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_EQ(stopped.count(QRegularExpression(" cancelled +[0-9.]+")), 2) << stopped.toStdString();
    // Said once, as a single download says it: not "cancelled — cancelled by the user".
    EXPECT_EQ(stopped.count("cancelled by the user"), 4) << stopped.toStdString();
    EXPECT_FALSE(stopped.contains("cancelled — ")) << stopped.toStdString();
    EXPECT_LT(slow1.stop()["data_frames"].toInt(), 60);
    EXPECT_LT(slow2.stop()["data_frames"].toInt(), 60);
}

// Rows of a CSV text as a CSV reader (python3's) reads them: a header row, then the records.
std::vector<QStringList> csvRows(const QByteArray& csv) {
    QProcess python;
    python.start("python3", {"-c", "import csv, json, sys\n"
                                   "print(json.dumps(list(csv.reader(sys.stdin, strict=True))))"});
    python.write(csv);
    python.closeWriteChannel();
    EXPECT_TRUE(python.waitForFinished(30000));
    std::vector<QStringList> rows;
    for (const QJsonValue row : QJsonDocument::fromJson(python.readAllStandardOutput()).array())
        rows.push_back(row.toVariant().toStringList());
    return rows;
}

// A unit passes at a retry or ends after retries + 1 attempts; every attempt is a history row.
TEST_F(MultiDownloadTest, RetriesTakeTheLastAttemptAndTheHistoryKeepsEveryOne) {
    // A name a CSV reader must give back whole.
    const QString font = fontFile(30 * 1024, "font, \"A\"\nline.bin");
    PrinterSimProcess& flaky = printer({"--refuse", "2:5:3", "--faulty-sessions", "1"});
    PrinterSimProcess& broken = printer({"--refuse", "2:6:3"});
    PrinterSimProcess& good = printer();
    const QStringList links = {flaky.link(), broken.link(), good.link()};
    QStringList args{"download",   "--font", "--json",    "--retries", "1",
                     "--operator", "Ann",    "--station", "line-3"};
    for (int i = 0; i < 3; ++i)
        args << "--label" << QStringLiteral("L-%1").arg(i + 1) << "--port" << links[i];
    const Finished r = runCli(dir_.path(), args << font, 30000);
    ASSERT_FALSE(r.crashed) << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_EQ(receivedBy(flaky), image_);

    // One printer: the same retry, said in words, and the exit code of the last attempt.
    PrinterSimProcess& flaky2 = printer({"--drop", "1:3", "--faulty-sessions", "1"});
    const Finished one = runCli(dir_.path(),
                                {"download", "--font", "--retries", "2", "--operator", "Bo",
                                 "--label", "L-4", "--port", flaky2.link(), font},
                                30000);
    EXPECT_EQ(one.exitCode, 0) << one.err.toStdString();
    EXPECT_TRUE(one.out.contains("retrying the update, attempt 2, after printer-silent"))
        << one.out.toStdString();
    EXPECT_FALSE(one.out.contains("the update, attempt 3")) << one.out.toStdString();

    // An image the printer cannot take is refused once, whatever the retries.
    const QString empty = WriteFile(dir_.filePath("empty.bin"), {});
    EXPECT_EQ(runCli(dir_.path(), {"download", "--font", "--json", "--retries", "3", "--label",
                                   "L-5", "--port", good.link(), empty})
                  .exitCode,
              2);

    // Every attempt is a row with its printer's label (the shared UUID is the unit's own test);
    // the retry_unit and done events' fields are the disconnected printer's test.
    const auto rows = jsonLines(runCli(dir_.path(), {"history", "--json"}).out);
    QMap<QString, QStringList> byLabel; // label: "attempt outcome cause station" oldest first
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        byLabel[(*row)["label"].toString()]
            << QStringLiteral("%1 %2 %3 %4")
                   .arg((*row)["attempt"].toInt())
                   .arg((*row)["outcome"].toString(), (*row)["cause"].toString("-"),
                        (*row)["station"].toString());
    const QString host = QSysInfo::machineHostName();
    // clang-format off
    const QMap<QString, QStringList> expected = {
        {"L-1", {"1 failed printer-refused line-3", "2 completed - line-3"}},
        {"L-2", {"1 failed printer-refused line-3", "2 failed printer-refused line-3"}},
        {"L-3", {"1 completed - line-3"}},
        {"L-4", {"1 failed printer-silent " + host, "2 completed - " + host}},
        {"L-5", {"1 refused empty-image " + host}},
    };
    // clang-format on
    EXPECT_EQ(byLabel, expected);

    // The options reach the store's filters; a date alone as --until takes in that whole day.
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    // clang-format off
    const struct { QStringList filter; int rows; } filters[] = {
        {{"--operator", "Ann", "--station", "line-3", "--label", "L-1", "--outcome", "completed"}, 1},
        {{"--since", today, "--until", today}, 8},
        {{"--until", today + "T00:00"}, 0},
    };
    // clang-format on
    for (const auto& f : filters)
        EXPECT_EQ(
            jsonLines(runCli(dir_.path(), QStringList{"history", "--json"} + f.filter).out).size(),
            static_cast<std::size_t>(f.rows))
            << f.filter.join(' ').toStdString();

    // CSV: the JSON fields as columns, read back by a CSV reader as they were.
    const auto csv = csvRows(runCli(dir_.path(), {"history", "--format", "csv"}).out);
    ASSERT_EQ(csv.size(), rows.size() + 1);
    const QStringList header = csv[0];
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const QJsonObject& json = rows[i];
        ASSERT_EQ(csv[i + 1].size(), header.size());
        EXPECT_EQ(json.size(), header.size() - 1) << "every field but path_base64";
        for (int c = 0; c < header.size(); ++c) {
            if (header[c] == "path")
                continue; // JSON escapes a line break; CSV needs not (below)
            const QJsonValue v = json[header[c]];
            const QString asText =
                v.isDouble() ? QString::number(v.toDouble(), 'g', 15) : v.toString(); // null: empty
            EXPECT_EQ(csv[i + 1][c], asText) << header[c].toStdString();
        }
    }
    const auto pathColumn = header.indexOf("path");
    EXPECT_EQ(csv[1][pathColumn], QFileInfo(empty).canonicalFilePath());
    EXPECT_EQ(csv.back()[pathColumn], QFileInfo(font).canonicalFilePath());
}

// A printer gone mid-download and back within the link timeout is tried again once its node is.
TEST_F(MultiDownloadTest, ADisconnectedPrinterBackWithinTheLinkTimeoutIsTriedAgain) {
    const QString font = fontFile(30 * 1024);
    QTemporaryDir place;
    PrinterSimProcess first(place);
    ASSERT_TRUE(first.start({"--disconnect-after", "3"}));
    QProcess cli;
    QByteArray out = startUntil(cli, dir_.path(),
                                {"download", "--font", "--json", "--retries", "1", "--link-timeout",
                                 "20", "--port", first.link(), font},
                                "retry_unit");
    ASSERT_TRUE(out.contains("retry_unit")) << out.data();
    const QJsonObject retry = jsonLines(out).back();
    EXPECT_EQ(retry["cause"].toString() + " " + QString::number(retry["attempt"].toInt()),
              "disconnected 2")
        << out.data();
    ASSERT_TRUE(first.waitForExit(5000));
    PrinterSimProcess again(place); // the same link, a new pseudo-terminal behind it
    ASSERT_TRUE(again.start());
    ASSERT_TRUE(cli.waitForFinished(20000));
    out += cli.readAllStandardOutput();
    EXPECT_EQ(cli.exitCode(), 0) << out.data();
    const auto events = jsonLines(out);
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2]["attempts"], 2) << out.data();
    EXPECT_EQ(receivedBy(again), image_);
}

} // namespace
} // namespace posflash
