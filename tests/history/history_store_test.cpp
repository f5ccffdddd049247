#include "history/history_store.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>
#include <unistd.h>

namespace posflash {
namespace {

QDateTime at(int minute) {
    return QDateTime(QDate(2024, 5, 1), QTime(10, minute, 0, 250), Qt::UTC);
}

HistoryRecord serialRecord(int minute) {
    HistoryRecord r;
    r.startedAt = at(minute);
    r.milliseconds = 12345;
    r.frontEnd = "cli";
    r.comNumber = 3;
    r.deviceNode = "/dev/ttyACM0";
    r.usbSerial = "A1B2";
    r.filePath = "/tmp/fw.bin";
    r.fileSize = 1028;
    r.kind = "program";
    r.crc16 = 0xBEEF;
    r.frames = 3;
    r.retries = 2;
    r.result = "completed";
    return r;
}

// Every field in one line, so records compare whole and a difference shows where.
QString fields(const HistoryRecord& r) {
    const auto n = [](qint64 v) { return QString::number(v); };
    QStringList f{n(r.startedAt.toMSecsSinceEpoch()), n(r.milliseconds), r.frontEnd};
    f << n(r.comNumber) << r.deviceNode << r.ip << r.mac << r.usbSerial << r.filePath;
    f << n(r.fileSize) << r.kind << n(r.crc16) << n(r.frames) << n(r.retries) << r.result;
    return (f << r.reason).join('|');
}

TEST(HistoryStoreTest, KeepsEveryFieldAndListsNewestFirst) {
    QTemporaryDir dir;
    HistoryStore store(dir.filePath("posflash/history.db")); // the folder is made on first write

    HistoryRecord network;
    network.startedAt = at(30);
    network.frontEnd = "window";
    network.ip = "192.168.1.100";
    network.mac = "00-11-22-AA-BB-CC";
    network.filePath = "/tmp/font.bin";
    network.kind = "font";
    network.result = "failed";
    network.reason = "Link failed";
    // Stored out of time order: the list follows the start times.
    ASSERT_TRUE(store.add(serialRecord(10)));
    ASSERT_TRUE(store.add(network));
    ASSERT_TRUE(store.add(serialRecord(20)));

    const auto records = store.recent(2);
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 2u);
    EXPECT_EQ(fields((*records)[0]), fields(network)); // no file size nor CRC-16 stays -1
    EXPECT_EQ(fields((*records)[1]), fields(serialRecord(20)));

    // Another store on the same file (another process, later) sees them all.
    const auto all = HistoryStore(store.filePath()).recent(0);
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), 3u);
    EXPECT_EQ((*all)[2].startedAt, at(10));
}

TEST(HistoryStoreTest, TwoWritersAtOnceBothLand) {
    QTemporaryDir dir;
    const QString path = dir.filePath("history.db");
    constexpr int kEach = 40;
    // Each writer has its own connection, as two processes would.
    const auto writer = [&path](int firstMinute, int& failures) {
        HistoryStore store(path);
        for (int i = 0; i < kEach; ++i)
            if (!store.add(serialRecord(firstMinute + i % 20)))
                ++failures;
    };
    int failuresA = 0;
    int failuresB = 0;
    std::thread a(writer, 0, std::ref(failuresA));
    std::thread b(writer, 30, std::ref(failuresB));
    a.join();
    b.join();
    EXPECT_EQ(failuresA, 0);
    EXPECT_EQ(failuresB, 0);
    const auto records = HistoryStore(path).recent(0);
    ASSERT_TRUE(records);
    EXPECT_EQ(records->size(), 2u * kEach);
}

TEST(HistoryStoreTest, AnUnusableFileIsAFailureNotACrash) {
    QTemporaryDir dir;
    QFile corrupt(dir.filePath("corrupt.db"));
    ASSERT_TRUE(corrupt.open(QIODevice::WriteOnly));
    corrupt.write(QByteArray(4096, 'x'));
    corrupt.close();
    HistoryStore store(corrupt.fileName());
    const Status added = store.add(serialRecord(1));
    ASSERT_FALSE(added);
    EXPECT_TRUE(added.error().text.contains(corrupt.fileName()))
        << added.error().text.toStdString();
    EXPECT_FALSE(added.error().detail.isEmpty()); // SQLite's own words
    EXPECT_FALSE(store.recent(0));

    // A folder that cannot be made: a plain file stands where it should be.
    HistoryStore nowhere(dir.filePath("corrupt.db/posflash/history.db"));
    EXPECT_FALSE(nowhere.add(serialRecord(1)));

    // A history the user may not write to (root may write anywhere).
    if (::geteuid() != 0) {
        const QString readOnly = dir.filePath("ro/history.db");
        ASSERT_TRUE(HistoryStore(readOnly).add(serialRecord(1)));
        QFile::setPermissions(readOnly, QFileDevice::ReadOwner);
        EXPECT_FALSE(HistoryStore(readOnly).add(serialRecord(2)));
    }
}

} // namespace
} // namespace posflash
