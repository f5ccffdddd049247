// A history database another process holds locked: what is written meanwhile waits in the journal.
#include "history/history_journal.h"
#include "history/history_store.h"
#include "history/history_writer.h"
#include "support/process_signal.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <cstdio>
#include <signal.h>

namespace posflash {
namespace {

HistoryRecord record(int i) {
    HistoryRecord r;
    r.startedAt = QDateTime(QDate(2024, 5, 1), QTime(10, i, 0), Qt::UTC);
    r.frontEnd = "cli";
    r.filePath = "/tmp/fw.bin";
    r.kind = "program";
    r.outcome = "completed";
    return r;
}

TEST(HistoryLockTest, RecordsWrittenDuringALongLockLandOnceAfterAKilledReplay) {
    constexpr int kRows = 5;
    QTemporaryDir dir;
    const QString path = dir.filePath("history.db");
    ASSERT_EQ(HistoryStore(path).add(record(0)).place, HistoryWrite::Place::Database);

    QProcess lock;
    lock.start(HISTORY_HELPER_PATH, {"lock", path, "30000"});
    ASSERT_TRUE(lock.waitForReadyRead(10000));
    ASSERT_EQ(lock.readLine().trimmed(), "locked");

    HistoryStore::Options options;
    options.busyTimeoutMs = 500;
    QStringList journaled;
    {
        HistoryWriter writer(path, options);
        writer.landed = [&journaled](const HistoryWrite& w) {
            EXPECT_EQ(w.place, HistoryWrite::Place::Journal) << w.why.text.toStdString();
            journaled << w.uuid;
        };
        QElapsedTimer clock;
        clock.start();
        for (int i = 1; i <= kRows; ++i)
            writer.write(record(i));
        // Five busy timeouts are 2.5 s: the caller does not wait for one of them.
        EXPECT_LT(clock.elapsed(), 400);
        writer.finish();
    }
    ASSERT_EQ(journaled.size(), kRows);
    EXPECT_EQ(lock.state(), QProcess::Running); // the lock held throughout
    lock.closeWriteChannel();                   // and ends now
    ASSERT_TRUE(lock.waitForFinished(40000));
    ASSERT_EQ(lock.exitCode(), 0);

    // The first replay dies after its first batch is committed.
    QProcess replay;
    replay.start(HISTORY_HELPER_PATH, {"replay", path});
    ASSERT_TRUE(replay.waitForReadyRead(10000));
    EXPECT_EQ(replay.readLine().trimmed(), "committed 1");
    posflash::test::signalProcess(replay, SIGKILL);
    ASSERT_TRUE(replay.waitForFinished(5000));
    EXPECT_GT(QFile(HistoryStore::journalPathOf(path)).size(), 0);

    replay.start(HISTORY_HELPER_PATH, {"replay", path});
    replay.closeWriteChannel(); // on without pauses
    ASSERT_TRUE(replay.waitForFinished(10000));
    EXPECT_EQ(replay.exitCode(), 0) << replay.readAllStandardError().toStdString();

    const auto records = HistoryStore(path).recent(0);
    ASSERT_TRUE(records);
    EXPECT_EQ(records->size(), 1u + kRows);
    QStringList uuids;
    for (const HistoryRecord& r : *records)
        uuids << r.uuid;
    for (const QString& uuid : journaled)
        EXPECT_EQ(uuids.count(uuid), 1) << uuid.toStdString();
    EXPECT_EQ(QFile(HistoryStore::journalPathOf(path)).size(), 0);
}

// The start's replay waits once; the lock ends after a wait and a half, so a second wait would
// land the record in the database instead of the journal.
TEST(HistoryLockTest, ALockedHistoryCostsOneWaitAndTheRecordGoesToTheJournal) {
    constexpr int kWaitMs = 2000;
    QTemporaryDir dir;
    const QString path = dir.filePath("history.db");
    ASSERT_EQ(HistoryStore(path).add(record(0)).place, HistoryWrite::Place::Database);
    const QString journalPath = HistoryStore::journalPathOf(path);
    HistoryRecord earlier = record(1);
    earlier.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    ASSERT_TRUE(HistoryJournal(journalPath).append(earlier));

    QProcess lock;
    lock.start(HISTORY_HELPER_PATH, {"lock", path, QString::number(kWaitMs * 3 / 2)});
    ASSERT_TRUE(lock.waitForReadyRead(10000));
    ASSERT_EQ(lock.readLine().trimmed(), "locked");

    HistoryStore::Options options;
    options.busyTimeoutMs = kWaitMs;
    std::vector<HistoryWrite> landed;
    QElapsedTimer clock;
    clock.start();
    {
        HistoryWriter writer(path, options);
        writer.landed = [&landed](const HistoryWrite& w) { landed.push_back(w); };
        writer.replayJournal();
        writer.write(record(2));
        writer.finish();
    }
    std::printf("the record landed after %lld ms\n", static_cast<long long>(clock.elapsed()));
    ASSERT_EQ(landed.size(), 1u);
    EXPECT_EQ(landed[0].place, HistoryWrite::Place::Journal) << landed[0].why.text.toStdString();
    QFile file(journalPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3); // two records and the end
    const auto last = HistoryJournal::recordOf(lines[1]);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->uuid, landed[0].uuid);
    ASSERT_TRUE(lock.waitForFinished(10000));
}

} // namespace
} // namespace posflash
