// posflash-cli downloading to several simulated printers at once, run as a process.
#include "cli/progress_estimate.h"
#include "cli_process.h"

#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace posflash {
namespace {

using namespace testing;

class MultiDownloadTest : public ::testing::Test {
protected:
    // One simulated printer in a folder of its own, with the faults given.
    PrinterSimProcess& printer(const QStringList& faults = {}) {
        dirs_.push_back(std::make_unique<QTemporaryDir>());
        sims_.push_back(std::make_unique<PrinterSimProcess>(*dirs_.back()));
        EXPECT_TRUE(sims_.back()->start(faults));
        return *sims_.back();
    }

    QString fontFile(int size) {
        image_ = fontBytes(size);
        QFile f(dir_.filePath("font.bin"));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(image_);
        return f.fileName();
    }

    QTemporaryDir dir_;
    QByteArray image_;
    std::vector<std::unique_ptr<QTemporaryDir>> dirs_;
    std::vector<std::unique_ptr<PrinterSimProcess>> sims_;
};

// The documented fields of each event: numbers, then strings.
void expectSchema(const QJsonObject& o) {
    static const QMap<QString, std::pair<QStringList, QStringList>> fields = {
        {"summary", {{"targets", "completed", "failed", "cancelled", "refused", "exit"}, {}}},
        {"start", {{}, {"target"}}},
        {"linked", {{}, {"target"}}},
        {"progress", {{"accepted", "frames", "bytes"}, {"target"}}},
        {"retry", {{"attempt"}, {"target", "step", "cause"}}},
        {"refused", {{"attempt", "status"}, {"target", "step", "cause"}}},
        {"done",
         {{"seconds", "frames", "accepted", "retries"}, {"target", "result", "cause", "reason"}}},
    };
    const QString event = o["event"].toString();
    const std::string text = QJsonDocument(o).toJson().toStdString();
    ASSERT_TRUE(fields.contains(event)) << text;
    for (const QString& key : fields[event].first + QStringList{"t"})
        EXPECT_TRUE(o[key].isDouble()) << key.toStdString() << " in " << text;
    for (const QString& key : fields[event].second)
        EXPECT_TRUE(o[key].isString()) << key.toStdString() << " in " << text;
    if (event == "done") {
        EXPECT_TRUE(o["crc16"].isDouble() || o["crc16"].isNull()) << text;
        EXPECT_TRUE(o["detail"].isString() || o["detail"].isNull()) << text;
    }
}

TEST_F(MultiDownloadTest, FourPrintersOneRefusingOneSilentTheOthersCompleteAlone) {
    const QString font = fontFile(200 * 1024);
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
        expectSchema(o);
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

    // Each printer's download is one row of the history, with its own result.
    QMap<QString, QString> rows;
    for (const QJsonObject& row : jsonLines(runCli(dir_.path(), {"history", "--json"}).out))
        rows[row["device"].toString()] += row["outcome"].toString();
    const QMap<QString, QString> expected = {{links[0], "completed"},
                                             {links[1], "completed"},
                                             {links[2], "failed"},
                                             {links[3], "failed"}};
    EXPECT_EQ(rows, expected);
}

TEST_F(MultiDownloadTest, PlainOutputEndsInASummaryTableAndAStopCancelsEveryPrinter) {
    const QString font = fontFile(60 * 1024);
    PrinterSimProcess& good = printer();
    PrinterSimProcess& refusing = printer({"--refuse", "2:6:3"});
    const Finished r = runCli(
        dir_.path(), {"download", "--font", "--port", good.link(), "--port", refusing.link(), font},
        30000);
    ASSERT_FALSE(r.crashed) << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 1);
    const QString out = QString::fromUtf8(r.out);
    const auto row = [](const QString& target, const char* rest) {
        return QRegularExpression(QRegularExpression::escape(target) + rest);
    };
    EXPECT_TRUE(out.contains(QRegularExpression("\ntarget +result +seconds +retries +reason\n")))
        << out.toStdString();
    EXPECT_TRUE(out.contains(row(good.link(), " +completed +[0-9.]+ +0\n"))) << out.toStdString();
    EXPECT_TRUE(out.contains(row(refusing.link(), " +failed +[0-9.]+ +2 +\\S")))
        << out.toStdString();
    EXPECT_TRUE(out.contains("frame 2 refused (status 6), attempt 2")) << out.toStdString();
    EXPECT_TRUE(out.endsWith("1 of 2 completed, exit code 1\n")) << out.toStdString();
    EXPECT_EQ(receivedBy(good), image_);

    // A stop signal mid-way cancels both downloads promptly.
    PrinterSimProcess& slow1 = printer({"--think", "20"});
    PrinterSimProcess& slow2 = printer({"--think", "20"});
    QProcess cli;
    isolate(cli, dir_.path());
    cli.start(POSFLASH_CLI_PATH,
              {"download", "--font", "--port", slow1.link(), "--port", slow2.link(), font});
    bool linked = false;
    while (!linked && cli.waitForReadyRead(10000))
        linked = cli.readAllStandardOutput().contains("linked");
    ASSERT_TRUE(linked);
    QElapsedTimer clock;
    clock.start();
    ::kill(static_cast<pid_t>(cli.processId()), SIGINT);
    ASSERT_TRUE(cli.waitForFinished(3000));
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(cli.exitCode(), 1);
    const QString stopped = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_EQ(stopped.count(QRegularExpression(" cancelled +[0-9.]+")), 2) << stopped.toStdString();
    EXPECT_LT(slow1.stop()["data_frames"].toInt(), 60);
    EXPECT_LT(slow2.stop()["data_frames"].toInt(), 60);
}

TEST(ProgressEstimateTest, TimeLeftWaitsForAFewFramesAndNeverLeapsBackwards) {
    ProgressEstimate e;
    e.update(0, 0, 100, 1024);
    e.update(1000, 5, 100, 1024);
    EXPECT_FALSE(e.remainingMs()) << "five frames are too few to judge";
    e.update(2000, 10, 100, 1024);
    ASSERT_TRUE(e.remainingMs());
    EXPECT_EQ(*e.remainingMs(), 18000); // 90 frames left at 5 frames a second
    EXPECT_DOUBLE_EQ(e.kibPerSecond(), 5.0);
    // A burst: 80 frames in half a second would say 0.6 s left; it may fall by 0.5 s only.
    e.update(2500, 90, 100, 1024);
    EXPECT_EQ(*e.remainingMs(), 17500);
    // Rising is allowed at once: a stall makes the estimate honest again.
    e.update(60000, 91, 100, 1024);
    EXPECT_GT(*e.remainingMs(), 5000);
    e.update(61000, 100, 100, 1024);
    EXPECT_FALSE(e.remainingMs()) << "nothing is left";
}

} // namespace
} // namespace posflash
