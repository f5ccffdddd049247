// posflash-cli downloading to several simulated printers at once, run as a process.
#include "cli/progress_estimate.h"
#include "support/printer_sim_process.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <signal.h>

namespace posflash {
namespace {

using testing::PrinterSimProcess;

constexpr const char* kCli = POSFLASH_CLI_PATH;

struct Finished {
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
};

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
        image_ = QByteArray(size, '\0');
        for (int i = 0; i < size; ++i)
            image_[i] = static_cast<char>((i * 13 + i / 251) & 0xFF);
        const QString path = dir_.filePath("font.bin");
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(image_);
        return path;
    }

    // The tool keeps its history in this test's folder.
    Finished run(const QStringList& args, int timeoutMs) {
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_DATA_HOME", dir_.path());
        cli.setProcessEnvironment(env);
        cli.start(kCli, args);
        Finished result;
        if (!cli.waitForFinished(timeoutMs)) {
            cli.kill();
            cli.waitForFinished(2000);
            result.crashed = true;
        }
        result.crashed = result.crashed || cli.exitStatus() != QProcess::NormalExit;
        result.exitCode = cli.exitCode();
        result.out = QString::fromUtf8(cli.readAllStandardOutput());
        result.err = QString::fromUtf8(cli.readAllStandardError());
        return result;
    }

    QByteArray received(PrinterSimProcess& sim) {
        sim.stop();
        const Bytes bytes = sim.received();
        return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<qsizetype>(bytes.size()));
    }

    QTemporaryDir dir_;
    QByteArray image_;
    std::vector<std::unique_ptr<QTemporaryDir>> dirs_;
    std::vector<std::unique_ptr<PrinterSimProcess>> sims_;
};

// The documented fields of each event and their JSON types.
void expectSchema(const QJsonObject& o) {
    const auto has = [&o](const char* key, QJsonValue::Type type) {
        EXPECT_EQ(o.value(key).type(), type) << key << " in " << QJsonDocument(o).toJson().data();
    };
    const QString event = o.value("event").toString();
    has("t", QJsonValue::Double);
    if (event == "summary") {
        for (const char* key : {"targets", "completed", "failed", "cancelled", "refused", "exit"})
            has(key, QJsonValue::Double);
        return;
    }
    has("target", QJsonValue::String);
    if (event == "start" || event == "linked")
        return;
    if (event == "progress") {
        for (const char* key : {"accepted", "frames", "bytes"})
            has(key, QJsonValue::Double);
    } else if (event == "retry" || event == "refused") {
        has("step", QJsonValue::String);
        has("attempt", QJsonValue::Double);
        has("cause", QJsonValue::String);
        if (event == "refused")
            has("status", QJsonValue::Double);
    } else if (event == "done") {
        has("result", QJsonValue::String);
        for (const char* key : {"seconds", "frames", "accepted", "retries"})
            has(key, QJsonValue::Double);
        EXPECT_TRUE(o.value("crc16").isDouble() || o.value("crc16").isNull());
        has("cause", QJsonValue::String);
        has("reason", QJsonValue::String);
        EXPECT_TRUE(o.value("detail").isString() || o.value("detail").isNull());
    } else {
        ADD_FAILURE() << "unknown event " << event.toStdString();
    }
}

TEST_F(MultiDownloadTest, FourPrintersOneRefusingOneSilentTheOthersCompleteAlone) {
    const QString font = fontFile(200 * 1024);
    PrinterSimProcess& good1 = printer({"--think", "5"});
    PrinterSimProcess& good2 = printer({"--think", "5"});
    PrinterSimProcess& refusing = printer({"--refuse", "5:5:3"});
    PrinterSimProcess& silent = printer({"--silent"});
    const QStringList links = {good1.link(), good2.link(), refusing.link(), silent.link()};

    QElapsedTimer clock;
    clock.start();
    const Finished r = run({"download", "--font", "--json", "--port", links[0], "--port", links[1],
                            "--port", links[2], "--port", links[3], font},
                           60000);
    ASSERT_FALSE(r.crashed) << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();

    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    QMap<QString, QJsonObject> done;
    QMap<QString, double> lastProgress;
    QMap<QString, int> refusals;
    double lastT = 0;
    for (const QString& line : lines) {
        QJsonParseError error{};
        const QJsonObject o = QJsonDocument::fromJson(line.toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << line.toStdString();
        expectSchema(o);
        const double t = o.value("t").toDouble();
        EXPECT_GE(t, lastT - 0.001) << "timestamps run forwards";
        lastT = std::max(lastT, t);
        const QString target = o.value("target").toString();
        const QString event = o.value("event").toString();
        if (event == "progress") {
            const bool edge = o["accepted"].toInt() == 0 || o["accepted"] == o["frames"];
            if (lastProgress.contains(target) && !edge) {
                EXPECT_GE(t - lastProgress[target], 0.245) << target.toStdString();
            }
            lastProgress[target] = t;
        }
        if (event == "refused")
            ++refusals[target];
        if (event == "done")
            done[target] = o;
    }
    const QJsonObject summary = QJsonDocument::fromJson(lines.last().toUtf8()).object();
    EXPECT_EQ(summary["event"], "summary");
    EXPECT_EQ(summary["targets"], 4);
    EXPECT_EQ(summary["completed"], 2);
    EXPECT_EQ(summary["failed"], 2);
    EXPECT_EQ(summary["exit"], 1);

    ASSERT_EQ(done.size(), 4);
    for (const QString& link : {links[0], links[1]}) {
        EXPECT_EQ(done[link]["result"], "completed");
        EXPECT_EQ(done[link]["accepted"], 200);
        EXPECT_TRUE(done[link]["crc16"].isDouble());
    }
    EXPECT_EQ(done[links[2]]["result"], "failed");
    EXPECT_EQ(done[links[2]]["cause"], "printer-refused");
    EXPECT_EQ(done[links[2]]["accepted"], 4);
    EXPECT_EQ(done[links[2]]["retries"], 2);
    EXPECT_EQ(refusals[links[2]], 3) << "each refusal of frame 5 is reported";
    EXPECT_EQ(done[links[3]]["result"], "failed");
    EXPECT_EQ(done[links[3]]["cause"], "printer-silent");
    EXPECT_EQ(done[links[3]]["accepted"], 0);
    // The silent printer's three start-frame waits never held the others up.
    EXPECT_GE(done[links[3]]["t"].toDouble(), 9.0);
    EXPECT_LT(done[links[0]]["t"].toDouble(), 6.0);
    EXPECT_LT(done[links[1]]["t"].toDouble(), 6.0);

    EXPECT_EQ(received(good1), image_);
    EXPECT_EQ(received(good2), image_);

    // Each printer's download is one row of the history, with its own result.
    const Finished history = run({"history", "--json"}, 10000);
    ASSERT_EQ(history.exitCode, 0) << history.err.toStdString();
    QMap<QString, QString> rows;
    for (const QString& line : history.out.split('\n', Qt::SkipEmptyParts)) {
        const QJsonObject row = QJsonDocument::fromJson(line.toUtf8()).object();
        EXPECT_FALSE(rows.contains(row["device"].toString()));
        rows[row["device"].toString()] = row["result"].toString();
    }
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
    const Finished r =
        run({"download", "--font", "--port", good.link(), "--port", refusing.link(), font}, 30000);
    ASSERT_FALSE(r.crashed) << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.out.contains(QRegularExpression("\ntarget +result +seconds +retries +reason\n")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(
        QRegularExpression(QRegularExpression::escape(good.link()) + " +completed +[0-9.]+ +0\n")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QRegularExpression(QRegularExpression::escape(refusing.link()) +
                                                  " +failed +[0-9.]+ +2 +\\S")))
        << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("frame 2 refused (status 6), attempt 2")) << r.out.toStdString();
    EXPECT_TRUE(r.out.endsWith("1 of 2 completed, exit code 1\n")) << r.out.toStdString();
    EXPECT_EQ(received(good), image_);

    // A stop signal mid-way cancels both downloads promptly.
    PrinterSimProcess& slow1 = printer({"--think", "20"});
    PrinterSimProcess& slow2 = printer({"--think", "20"});
    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_DATA_HOME", dir_.path());
    cli.setProcessEnvironment(env);
    cli.start(kCli, {"download", "--font", "--port", slow1.link(), "--port", slow2.link(), font});
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
    const QString out = QString::fromUtf8(cli.readAllStandardOutput());
    EXPECT_EQ(out.count(QRegularExpression(" cancelled +[0-9.]+")), 2) << out.toStdString();
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
