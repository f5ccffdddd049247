#include "history/history_journal.h"
#include "history/history_store.h"
#include "history/record_fields.h"
#include "support/sqlite_file.h"
#include "support/test_files.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace posflash {
namespace {

using Place = HistoryWrite::Place;

QDateTime at(int minute) {
    return QDateTime(QDate(2024, 5, 1), QTime(10, minute, 0, 250), Qt::UTC);
}

HistoryRecord serialRecord(int minute) {
    HistoryRecord r;
    r.startedAt = at(minute);
    r.milliseconds = 12345;
    r.frontEnd = "cli";
    r.printer.comNumber = 3;
    r.printer.node = "/dev/ttyACM0";
    r.printer.usbPath = "1-1.2";
    r.printer.usbSerial = "A1B2";
    r.filePath = "/tmp/fw.bin";
    r.fileSize = 1028;
    r.sha256 = QByteArray(32, '\xAB');
    r.kind = "program";
    r.crc16 = 0xBEEF;
    r.frames = 3;
    r.retries = 2;
    r.outcome = "completed";
    r.operatorName = "Ann";
    r.station = "line-3";
    r.label = "SN-0042, \"A\"";
    r.unit = "3d0f7a52-8d9c-4f60-9d0e-2b7c1a4e5f60";
    r.attempt = 2;
    r.shift = "9a1e0c44-61b2-4d3f-8e7a-0f5c2d9b8e31";
    return r;
}

// Every field in one line (history --json loses none): records compare whole, differences show.
std::string fields(const HistoryRecord& r) {
    return JsonLineOf(r).toStdString();
}

HistoryRecord networkRecord() {
    HistoryRecord r;
    r.uuid = "6f1c3c1e-0c5e-4a57-9d7e-5b1f2f2c9a10";
    r.startedAt = at(30);
    r.milliseconds = 800;
    r.frontEnd = "window";
    r.printer.ip = "192.168.1.100";
    r.printer.mac = "00-11-22-AA-BB-CC";
    r.filePath = QByteArray("/tmp/f\xFF\n.bin"); // no UTF-8: kept as its bytes
    r.kind = "font";
    r.outcome = "failed";
    r.cause = "link-timeout";
    r.reasonEn = "the boot loader did not answer within 5 s";
    r.reasonZh = "引导程序在 5 秒内没有应答";
    return r;
}

HistoryStore::Options quick() {
    HistoryStore::Options options;
    options.busyTimeoutMs = 200;
    return options;
}

TEST(HistoryStoreTest, KeepsEveryFieldAndListsNewestFirst) {
    QTemporaryDir dir;
    HistoryStore store(dir.filePath("posflash/history.db")); // the folder is made on first write

    HistoryRecord network = networkRecord();
    // Stored out of time order: the list follows the start times.
    HistoryRecord first = serialRecord(10);
    HistoryRecord last = serialRecord(20);
    for (HistoryRecord* r : {&first, &network, &last}) {
        const HistoryWrite written = store.add(*r);
        ASSERT_EQ(written.place, Place::Database) << written.why.text.toStdString();
        if (r->uuid.isEmpty())
            r->uuid = written.uuid; // made on writing
        EXPECT_EQ(written.uuid, r->uuid);
    }
    EXPECT_NE(first.uuid, last.uuid);

    const auto records = store.recent(2);
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 2u);
    EXPECT_EQ(fields((*records)[0]), fields(network)); // no file size nor CRC-16 stays -1
    EXPECT_EQ(fields((*records)[1]), fields(last));

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
    std::atomic<int> failures = 0;
    const auto writer = [&](int firstMinute) {
        HistoryStore store(path);
        for (int i = 0; i < kEach; ++i)
            failures += store.add(serialRecord(firstMinute + i % 20)).place != Place::Database;
    };
    std::thread a(writer, 0);
    std::thread b(writer, 30);
    a.join();
    b.join();
    EXPECT_EQ(failures.load(), 0);
    const auto records = HistoryStore(path).recent(0);
    ASSERT_TRUE(records);
    EXPECT_EQ(records->size(), 2u * kEach);
}

// A database that does not take the record: the journal does, and the first write after adds it.
TEST(HistoryStoreTest, AnUnusableDatabaseKeepsTheRecordInTheJournalUntilItIsBack) {
    QTemporaryDir dir;
    const QString corrupt = dir.filePath("corrupt.db");
    const QString readOnly = dir.filePath("ro/history.db");
    ASSERT_EQ(HistoryStore(readOnly).add(serialRecord(1)).place, Place::Database);
    // clang-format off
    const struct { const char* name; QString path; std::function<void()> spoil, mend; } cases[] = {
        {"corrupt", corrupt, [&] { testing::WriteFile(corrupt, QByteArray(4096, 'x')); }, [&] { QFile::remove(corrupt); }},
        {"read-only", readOnly, [&] { QFile::setPermissions(readOnly, QFileDevice::ReadOwner); }, [&] { QFile::setPermissions(readOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner); }},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (QString(c.name) == "read-only" && ::geteuid() == 0)
            continue; // root may write anywhere
        c.spoil();
        HistoryStore store(c.path, quick());
        const HistoryWrite kept = store.add(serialRecord(2));
        EXPECT_EQ(kept.place, Place::Journal);
        EXPECT_TRUE(kept.why.text.contains(c.path)) << kept.why.text.toStdString();
        EXPECT_FALSE(kept.why.detail.isEmpty()); // SQLite's own words
        EXPECT_FALSE(store.recent(0));
        EXPECT_GT(QFile(store.journalPath()).size(), 0);

        c.mend();
        HistoryStore later(c.path);
        ASSERT_EQ(later.add(serialRecord(3)).place, Place::Database);
        EXPECT_EQ(later.add(serialRecord(4)).place, Place::Database);
        const auto records = later.recent(0);
        ASSERT_TRUE(records);
        QStringList uuids;
        for (const HistoryRecord& r : *records)
            uuids << r.uuid;
        EXPECT_EQ(uuids.count(kept.uuid), 1);
        EXPECT_EQ(QFile(later.journalPath()).size(), 0);
    }

    // Neither the database nor the journal: a plain file stands where the folder should be.
    const HistoryWrite lost =
        HistoryStore(dir.filePath("ro/history.db/x/history.db")).add(serialRecord(1));
    EXPECT_EQ(lost.place, Place::Nowhere);
    EXPECT_FALSE(lost.why.text.isEmpty());
}

// Files of earlier releases: the first (no user_version, the cause code in reason), and
// schema 2 (units, no shift). Each opens, its rows stay, and a new row keeps every field.
TEST(HistoryStoreTest, MigratesAFileOfAnEarlierSchema) {
    const QString firstTable = R"(CREATE TABLE IF NOT EXISTS downloads (
    id INTEGER PRIMARY KEY, started_at TEXT NOT NULL, duration_ms INTEGER NOT NULL,
    front_end TEXT NOT NULL, com_number INTEGER, device_node TEXT, ip TEXT, mac TEXT,
    usb_serial TEXT, file_path TEXT NOT NULL, file_size INTEGER, kind TEXT NOT NULL,
    crc16 INTEGER, frames INTEGER NOT NULL, retries INTEGER NOT NULL, result TEXT NOT NULL,
    reason TEXT))";
    // clang-format off
    const struct { const char* name; QStringList statements; } cases[] = {
        {"first", {firstTable,
            "INSERT INTO downloads VALUES (1, '2024-05-01T10:01:00.000Z', 900, 'cli', 3, '/dev/ttyACM0', NULL, NULL, 'A1', '/tmp/a.bin', 10, 'program', 4660, 1, 0, 'failed', 'printer-silent')",
            "INSERT INTO downloads VALUES (2, '2024-05-01T10:02:00.000Z', 800, 'window', NULL, NULL, '10.0.0.2', '00-11-22-33-44-55', NULL, '/tmp/b.bin', NULL, 'font', NULL, 0, 0, 'failed', 'Link failed')"}},
        // The columns schema 2's steps added, in their order.
        {"schema 2", {QString(firstTable).replace("result TEXT", "outcome TEXT").replace("reason TEXT)", "reason TEXT, uuid TEXT, usb_path TEXT, sha256 TEXT, cause TEXT, reason_en TEXT, reason_zh TEXT, operator TEXT, station TEXT, label TEXT, unit TEXT, attempt INTEGER)"),
            "CREATE UNIQUE INDEX downloads_uuid ON downloads(uuid)", "CREATE INDEX downloads_unit ON downloads(unit)",
            "PRAGMA user_version = 2",
            "INSERT INTO downloads (id, uuid, started_at, duration_ms, front_end, com_number, device_node, usb_serial, file_path, file_size, kind, crc16, frames, retries, outcome, cause) VALUES (1, 'c1f0e6b2-5a43-4c1e-9d33-7e0a4b2f6d11', '2024-05-01T10:01:00.000Z', 900, 'cli', 3, '/dev/ttyACM0', 'A1', '/tmp/a.bin', 10, 'program', 4660, 1, 0, 'failed', 'printer-silent')",
            "INSERT INTO downloads (id, uuid, started_at, duration_ms, front_end, ip, mac, file_path, kind, frames, retries, outcome, reason) VALUES (2, 'c1f0e6b2-5a43-4c1e-9d33-7e0a4b2f6d12', '2024-05-01T10:02:00.000Z', 800, 'window', '10.0.0.2', '00-11-22-33-44-55', '/tmp/b.bin', 'font', 0, 0, 'failed', 'Link failed')"}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        const QString path = dir.filePath("history.db");
        testing::WithSqlite(path, [&](QSqlQuery& q) {
            for (const QString& statements : c.statements)
                for (const QString& statement : statements.split(';'))
                    ASSERT_TRUE(q.exec(statement)) << q.lastError().text().toStdString();
        });

        HistoryStore store(path);
        ASSERT_EQ(store.add(serialRecord(3)).place, Place::Database);
        const auto records = store.recent(0);
        ASSERT_TRUE(records) << records.error().text.toStdString();
        ASSERT_EQ(records->size(), 3u);
        const HistoryRecord& b = (*records)[1];
        const HistoryRecord& a = (*records)[2];
        EXPECT_EQ(a.outcome + "|" + a.cause + "|" + a.legacyReason, "failed|printer-silent|");
        EXPECT_EQ(b.outcome + "|" + b.cause + "|" + b.legacyReason, "failed||Link failed");
        EXPECT_EQ(a.filePath + " " + b.filePath, "/tmp/a.bin /tmp/b.bin");
        EXPECT_EQ(a.printer.usbSerial, "A1");
        EXPECT_EQ(a.crc16, 0x1234);
        EXPECT_EQ(b.printer.ip, "10.0.0.2");
        // The rows from before units and shifts have none; the new one keeps its own.
        EXPECT_EQ(a.unit + a.operatorName + a.station + a.label + QString::number(a.attempt) +
                      a.shift + b.shift,
                  "0");
        HistoryRecord added = serialRecord(3);
        added.uuid = (*records)[0].uuid;
        EXPECT_EQ(fields((*records)[0]), fields(added));
        const QSet<QString> uuids{a.uuid, b.uuid, (*records)[0].uuid};
        EXPECT_EQ(uuids.size(), 3);
        EXPECT_FALSE(uuids.contains(QString()));
        HistoryFilter shift;
        shift.shift = added.shift;
        const auto ofShift = store.find(shift);
        ASSERT_TRUE(ofShift);
        EXPECT_EQ(ofShift->size(), 1u);

        testing::WithSqlite(path, [&](QSqlQuery& q) {
            ASSERT_TRUE(q.exec("PRAGMA user_version") && q.next());
            EXPECT_EQ(q.value(0).toInt(), HistoryStore::schemaVersion());
            // The UUID is unique in the table.
            EXPECT_FALSE(q.exec(QString("UPDATE downloads SET uuid = '%1'").arg(a.uuid)));
            // Every column is a field of the record, so one the schema gains is written, read and
            // sent to the line.
            QStringList columns{"id"};
            for (const RecordField& field : RecordFields())
                columns << field.local;
            QStringList found;
            for (q.exec("PRAGMA table_info(downloads)"); q.next();)
                found << q.value(1).toString();
            columns.sort();
            found.sort();
            EXPECT_EQ(found, columns);
        });
    }
}

TEST(HistoryStoreTest, FindsByOperatorStationLabelOutcomeAndStartTime) {
    QTemporaryDir dir;
    HistoryStore store(dir.filePath("history.db"));
    for (int minute = 0; minute < 4; ++minute) {
        HistoryRecord r = serialRecord(minute);
        r.operatorName = minute < 2 ? "Ann" : "Bo";
        r.station = minute % 2 ? "line-1" : "line-2";
        r.label = QStringLiteral("L-%1").arg(minute);
        r.outcome = minute == 3 ? "failed" : "completed";
        ASSERT_EQ(store.add(r).place, Place::Database);
    }
    const auto filter = [](auto set) {
        HistoryFilter f;
        set(f);
        return f;
    };
    // labels: newest first
    // clang-format off
    const struct { const char* what; HistoryFilter filter; QStringList labels; } cases[] = {
        {"all", {}, {"L-3", "L-2", "L-1", "L-0"}},
        {"operator", filter([](HistoryFilter& f) { f.operatorName = "Ann"; }), {"L-1", "L-0"}},
        {"station and operator", filter([](HistoryFilter& f) { f.station = "line-1", f.operatorName = "Bo"; }), {"L-3"}},
        {"label", filter([](HistoryFilter& f) { f.label = "L-2"; }), {"L-2"}},
        {"outcome", filter([](HistoryFilter& f) { f.outcome = "failed"; }), {"L-3"}},
        // From since on, before until: a record at the bound's instant is in the first only.
        {"range", filter([](HistoryFilter& f) { f.since = at(1), f.until = at(3); }), {"L-2", "L-1"}},
        {"range in another zone", filter([](HistoryFilter& f) { f.since = at(2).toOffsetFromUtc(-5 * 3600); }), {"L-3", "L-2"}},
        {"limit after the filter", filter([](HistoryFilter& f) { f.outcome = "completed", f.limit = 2; }), {"L-2", "L-1"}},
        {"nothing", filter([](HistoryFilter& f) { f.label = "L-9"; }), {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        const auto found = store.find(c.filter);
        ASSERT_TRUE(found) << c.what;
        QStringList labels;
        for (const HistoryRecord& r : *found)
            labels << r.label;
        EXPECT_EQ(labels, c.labels) << c.what;
    }
}

// A line of the journal that lineOf could not have written becomes no row: it is moved aside,
// whole, and the lines around it still land; a last line a crash cut off is dropped.
TEST(HistoryStoreTest, AJournalLineThatIsNoRecordIsMovedAsideNotAdded) {
    QTemporaryDir dir;
    QStringList warnings;
    HistoryStore::Options options;
    options.warned = [&warnings](const QString& text) { warnings << text; };
    HistoryStore store(dir.filePath("history.db"), options);
    HistoryRecord kept = serialRecord(1);
    kept.uuid = "0b9d4e5e-5d0e-4b8e-8f0a-1c2d3e4f5a6b";
    kept.filePath = QByteArray("/tmp/\x80\x81.bin");
    const QJsonObject good = QJsonDocument::fromJson(HistoryJournal::lineOf(kept)).object();
    const QJsonValue absent(QJsonValue::Undefined);
    const QJsonValue null;
    // clang-format off
    const std::pair<const char*, QJsonValue> changes[] = {
        {"uuid", "0B9D4E5E-5D0E-4B8E-8F0A-1C2D3E4F5A6B"}, {"started", absent}, {"started", "yesterday"},
        {"seconds", -1}, {"seconds", 0.0015}, {"seconds", "1"}, {"front_end", "robot"}, {"com", 256},
        {"com", 0}, {"device", 5}, {"device", ""}, {"path", absent}, {"path", "/tmp/\\q"},
        {"path_base64", "!!"}, {"path_base64", "L3RtcC9mdy5iaW4="}, {"size", absent}, {"size", "1028"},
        {"sha256", "abcd"}, {"sha256", QString(64, 'z')}, {"kind", absent}, {"kind", "Program"},
        {"crc16", 65536}, {"frames", -1}, {"frames", null}, {"outcome", "done"},
        {"cause", "Printer Silent!"}, {"unit", "unit-1"}, {"attempt", 0}, {"shift", "9a1e0c44"},
        {"shift", absent},
    };
    // clang-format on
    std::vector<QByteArray> bad{R"({"uuid":"not-a-uuid","outcome":"completed"})", "not json",
                                "[1, 2]"};
    for (const auto& [key, value] : changes) {
        QJsonObject o = good;
        if (value.isUndefined())
            o.remove(key);
        else
            o[key] = value;
        bad.push_back(QJsonDocument(o).toJson(QJsonDocument::Compact));
    }
    QByteArray journal = HistoryJournal::lineOf(kept) + "\n\n";
    QByteArray aside;
    for (const QByteArray& line : bad) {
        SCOPED_TRACE(line.toStdString());
        EXPECT_FALSE(HistoryJournal::recordOf(line));
        journal += line + "\n";
        aside += line + "\n";
    }
    // The last line without its newline is a write a crash cut off: dropped, not moved aside.
    journal += HistoryJournal::lineOf(serialRecord(2)).left(40);
    testing::WriteFile(store.journalPath(), journal);

    ASSERT_TRUE(store.replayJournal());
    const auto records = store.recent(0);
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 1u);
    EXPECT_EQ(fields((*records)[0]), fields(kept));
    const QString rejected = HistoryJournal(store.journalPath()).rejectedPath();
    EXPECT_EQ(testing::ReadFile(rejected), aside);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(rejected).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(QFile(store.journalPath()).size(), 0);
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].contains(QString::number(bad.size())) && warnings[0].contains(rejected))
        << warnings[0].toStdString();
}

// A record the disk could not take whole is cut back, and a tail a crash left without its line
// break is set aside alone: neither swallows the next record (a full disk, then space freed).
TEST(HistoryStoreTest, AJournalAppendIsWholeOrAbsent) {
    QTemporaryDir dir;
    HistoryStore store(dir.filePath("history.db"), quick());
    const HistoryJournal journal(store.journalPath());
    HistoryRecord first = serialRecord(1), second = serialRecord(2), third = serialRecord(3);
    first.uuid = "0b9d4e5e-5d0e-4b8e-8f0a-1c2d3e4f5a61";
    second.uuid = "0b9d4e5e-5d0e-4b8e-8f0a-1c2d3e4f5a62";
    third.uuid = "0b9d4e5e-5d0e-4b8e-8f0a-1c2d3e4f5a63";
    ASSERT_TRUE(journal.append(first));
    const qint64 whole = QFile(journal.path()).size();

    // The file size limit makes the kernel write part of the line, then refuse the rest.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    rlimit small = old;
    small.rlim_cur = static_cast<rlim_t>(whole + 40);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status failed = journal.append(second);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    EXPECT_FALSE(failed);
    EXPECT_EQ(QFile(journal.path()).size(), whole);

    QFile file(journal.path());
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(HistoryJournal::lineOf(second).left(40));
    file.close();
    ASSERT_TRUE(journal.append(third));
    ASSERT_TRUE(store.replayJournal());
    const auto records = store.recent(0);
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 2u);
    EXPECT_EQ(fields((*records)[0]), fields(third));
    EXPECT_EQ(fields((*records)[1]), fields(first));
    EXPECT_EQ(testing::ReadFile(journal.rejectedPath()),
              HistoryJournal::lineOf(second).left(40) + "\n");
}

// Journals of the first spelling (as that release's lineOf wrote them) replay, under its rules.
TEST(HistoryStoreTest, AJournalOfTheFirstSpellingStillReplays) {
    const QByteArray serial =
        R"({"attempt":2,"cause":null,"com":3,"crc16":48879,"device":"/dev/ttyACM0","frames":3,"front_end":"cli","ip":null,"kind":"program","label":"SN-0042, \"A\"","mac":null,"ms":12345,"operator":"Ann","outcome":"completed","path_base64":"L3RtcC9mdy5iaW4=","reason_en":null,"reason_zh":null,"retries":2,"sha256":"abababababababababababababababababababababababababababababababab","shift":"9a1e0c44-61b2-4d3f-8e7a-0f5c2d9b8e31","size":1028,"started":"2024-05-01T10:01:00.250Z","station":"line-3","unit":"3d0f7a52-8d9c-4f60-9d0e-2b7c1a4e5f60","usb_path":"1-1.2","usb_serial":"A1B2","uuid":"0b9d4e5e-5d0e-4b8e-8f0a-1c2d3e4f5a6b"})";
    const QByteArray network =
        R"({"attempt":0,"cause":"link-timeout","com":0,"crc16":-1,"device":null,"frames":0,"front_end":"window","ip":"192.168.1.100","kind":"font","label":null,"mac":"00-11-22-AA-BB-CC","ms":800,"operator":null,"outcome":"failed","path_base64":"L3RtcC9m/wouYmlu","reason_en":"the boot loader did not answer within 5 s","reason_zh":"引导程序在 5 秒内没有应答","retries":0,"sha256":"","shift":null,"size":-1,"started":"2024-05-01T10:30:00.250Z","station":null,"unit":null,"usb_path":null,"usb_serial":null,"uuid":"6f1c3c1e-0c5e-4a57-9d7e-5b1f2f2c9a10"})";
    // The same download as a release before units wrote it.
    QJsonObject older = QJsonDocument::fromJson(network).object();
    for (const char* key : {"attempt", "label", "operator", "shift", "station", "unit"})
        older.remove(key);
    older["uuid"] = "c1f0e6b2-5a43-4c1e-9d33-7e0a4b2f6d12";
    older["started"] = "2024-05-01T10:29:00.250Z";
    const QByteArray beforeUnits = QJsonDocument(older).toJson(QJsonDocument::Compact);
    HistoryRecord first = serialRecord(1);
    first.uuid = "0b9d4e5e-5d0e-4b8e-8f0a-1c2d3e4f5a6b";
    HistoryRecord third = networkRecord();
    third.uuid = older["uuid"].toString();
    third.startedAt = at(29);
    const auto with = [](QByteArray text, const char* from, const char* to) {
        return text.replace(from, to);
    };
    // clang-format off
    const QByteArray bad[] = {
        with(serial, "\"ms\":12345", "\"ms\":-1"), with(serial, "\"ms\":12345", "\"ms\":1.5"),
        with(serial, "\"com\":3", "\"com\":256"), with(serial, "L3RtcC9mdy5iaW4=", "!!"),
        with(serial, "\"size\":1028,", ""), with(network, "\"attempt\":0", "\"attempt\":-1"),
    };
    // clang-format on
    for (const QByteArray& line : bad)
        EXPECT_FALSE(HistoryJournal::recordOf(line)) << line.toStdString();

    QTemporaryDir dir;
    HistoryStore store(dir.filePath("history.db"));
    testing::WriteFile(store.journalPath(), serial + "\n" + network + "\n" + beforeUnits + "\n");
    ASSERT_TRUE(store.replayJournal());
    const auto records = store.recent(0);
    ASSERT_TRUE(records);
    ASSERT_EQ(records->size(), 3u);
    EXPECT_EQ(fields((*records)[0]), fields(networkRecord()));
    EXPECT_EQ(fields((*records)[1]), fields(third));
    EXPECT_EQ(fields((*records)[2]), fields(first));
    EXPECT_FALSE(QFile::exists(HistoryJournal(store.journalPath()).rejectedPath()));
}

// A few bytes at a time: records in order and batches, an overlong line aside, a failed batch
// leaving both files as they were.
TEST(HistoryStoreTest, AJournalIsReplayedAChunkAtATime) {
    QTemporaryDir dir;
    const HistoryJournal journal(dir.filePath("history.pending"));
    QStringList written;
    for (int i = 0; i < 7; ++i) {
        HistoryRecord r = serialRecord(i);
        r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        written << r.uuid;
        ASSERT_TRUE(journal.append(r));
        if (i == 3) {
            QFile file(journal.path());
            ASSERT_TRUE(file.open(QIODevice::Append));
            file.write(QByteArray(2500, 'x') + "\n");
        }
    }
    const qint64 size = QFile(journal.path()).size();
    HistoryJournal::Limits limits;
    limits.batchRows = 3;
    limits.chunkBytes = 7;
    limits.lineBytes = 1000;

    int batches = 0;
    const auto failing = [&batches](const std::vector<HistoryRecord>&) -> Status {
        return ++batches == 2 ? Status(Error{1, "full"}) : Status{};
    };
    EXPECT_FALSE(journal.replay(limits, failing));
    EXPECT_EQ(QFile(journal.path()).size(), size);
    EXPECT_EQ(QFile(journal.rejectedPath()).size(), 0);

    QStringList committed;
    std::vector<std::size_t> sizes;
    const auto taking = [&](const std::vector<HistoryRecord>& batch) -> Status {
        sizes.push_back(batch.size());
        for (const HistoryRecord& r : batch)
            committed << r.uuid;
        return {};
    };
    const auto moved = journal.replay(limits, taking);
    ASSERT_TRUE(moved) << moved.error().text.toStdString();
    EXPECT_EQ(*moved, 1);
    EXPECT_EQ(committed, written);
    EXPECT_EQ(sizes, (std::vector<std::size_t>{3, 3, 1}));
    EXPECT_EQ(testing::ReadFile(journal.rejectedPath()), QByteArray(2500, 'x') + "\n");
    EXPECT_EQ(QFile(journal.path()).size(), 0);
}

} // namespace
} // namespace posflash
