// The sync against a real PostgreSQL server through the faults a line sees; after each, the
// line holds every station's rows, none twice.
#include "history/history_journal.h"
#include "history/history_store.h"
#include "recipe/recipe.h"
#include "records/background_sync.h"
#include "records/central_schema.h"
#include "records/recipe_records.h"
#include "records/stalling_proxy.h"
#include "support/cli_process.h"
#include "support/pg_cluster.h"
#include "support/process_signal.h"
#include "support/sqlite_file.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTimeZone>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include <csignal>
#include <cstdio>
#include <random>

namespace posflash::testing {
namespace {

constexpr const char* kStationPassword = "station-pw";

// One station: a history of its own in its own data folder.
struct Station {
    QTemporaryDir home;
    QString history() const { return home.filePath("data/posflash/history.db"); }

    // Adds n downloads in one transaction (a store makes the file and its schema first).
    void fill(int n) {
        HistoryRecord r;
        // Noon: rows ten minutes apart fall on one day for the per-day views.
        r.startedAt = QDateTime(QDate::currentDate(), QTime(12, 0), QTimeZone::utc());
        r.frontEnd = "cli";
        r.filePath = QByteArray("/fw/\xff-not-utf8.bin");
        r.kind = "program";
        r.outcome = "completed";
        r.station = "line-1";
        {
            HistoryStore store(history());
            ASSERT_EQ(store.add(r).place, HistoryWrite::Place::Database);
        }
        WithSqlite(history(), [&](QSqlQuery& q) {
            q.exec("BEGIN");
            q.prepare("INSERT INTO downloads (uuid, started_at, duration_ms, front_end, "
                      "file_path, kind, frames, retries, outcome, cause, station) VALUES (?, ?, ?, "
                      "'cli', ?, 'program', 3, 0, ?, ?, 'line-1')");
            for (int i = 1; i < n; ++i) {
                q.addBindValue(QUuid::createUuid().toString(QUuid::WithoutBraces));
                q.addBindValue(r.startedAt.addSecs(-i * 600).toString(Qt::ISODateWithMs));
                q.addBindValue(i);
                q.addBindValue(QString("/fw/%1.bin").arg(i));
                q.addBindValue(i % 7 ? "completed" : "failed");
                q.addBindValue(i % 7 ? QVariant() : QVariant("printer-silent"));
                ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
            }
            q.exec("COMMIT");
        });
    }

    // Gives the n-th row (by id) a label, sent as it is.
    void label(int n, const QString& text) {
        WithSqlite(history(), [&](QSqlQuery& q) {
            q.prepare("UPDATE downloads SET label = ? WHERE id = (SELECT id FROM downloads ORDER "
                      "BY id LIMIT 1 OFFSET ?)");
            q.addBindValue(text);
            q.addBindValue(n - 1);
            ASSERT_TRUE(q.exec() && q.numRowsAffected() == 1) << q.lastError().text().toStdString();
        });
    }

    // One attempt of a unit, as a station would have recorded it.
    void add(const char* station, const QString& unit, int attempt, const char* outcome,
             const char* mode = "") {
        HistoryRecord r;
        r.startedAt = QDateTime(QDate::currentDate(), QTime(12, attempt), QTimeZone::utc());
        r.frontEnd = "line";
        r.filePath = "/fw/app.bin";
        r.kind = "program";
        std::tie(r.station, r.unit, r.attempt, r.outcome, r.mode) =
            std::tuple(station, unit, attempt, outcome, mode);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(history()).absolutePath()) &&
                    HistoryStore(history()).add(r).place == HistoryWrite::Place::Database);
    }

    QSet<QString> local(const QString& select) const {
        QSet<QString> values;
        WithSqlite(history(), [&](QSqlQuery& q) {
            for (q.exec(select); q.next();)
                values << q.value(0).toString();
        });
        return values;
    }
};

class RecordsServer : public PgSuite<RecordsServer> {
protected:
    static void SetUpTestSuite() {
        PgSuite::SetUpTestSuite();
        if (!cluster_)
            return;
        // Two roles for line-1 (station is the older tests'), one for line-2.
        for (const char* role : {"station", "station1", "station2"})
            cluster_->admin(
                "postgres",
                {QString("CREATE ROLE %1 LOGIN PASSWORD '%2'").arg(role, kStationPassword)});
        // The schema as a user makes it: posflash-cli records init, then grant-station, as the
        // owner.
        const Finished init = run(nullptr, {"records", "init"}, owner());
        EXPECT_EQ(init.exitCode, 0) << init.err.toStdString();
        EXPECT_TRUE(init.out.contains("is at version 8 (it was at 0)")) << init.out.toStdString();
        for (const auto& [role, line] :
             {std::pair{"station", "line-1"}, {"station1", "line-1"}, {"station2", "line-2"}})
            EXPECT_EQ(run(nullptr, {"records", "grant-station", role, line}, owner()).exitCode, 0);
    }

    static QString owner(const QString& db = "line") { return as("admin", db); }
    static QString as(const QString& role, const QString& db = "line") {
        return cluster_->uri(role, role == "admin" ? PgCluster::kAdminPassword : kStationPassword,
                             db);
    }

    void SetUp() override {
        PgSuite::SetUp();
        if (!cluster_)
            return;
        cluster_->admin("line", {"TRUNCATE posflash_records", "ALTER TABLE posflash_records DROP "
                                                              "CONSTRAINT IF EXISTS no_rejectme"});
    }

    static QString station(const QString& password = kStationPassword) {
        return cluster_->uri("station", password, "line");
    }

    // The tool in the station's folders (in none without one), the line's address in the
    // environment.
    static void prepare(QProcess& p, const Station* s, const QStringList& args,
                        const QString& uri) {
        isolate(p, s ? s->home.path() : QDir::tempPath() + "/none", uri);
        p.setProgram(POSFLASH_CLI_PATH);
        p.setArguments(args);
    }

    static Finished run(const Station* s, const QStringList& args, const QString& uri) {
        QProcess p;
        prepare(p, s, args, uri);
        QElapsedTimer clock;
        clock.start();
        p.start();
        return finishCli(p, clock, 60000);
    }

    static Finished sync(const Station& s, const QString& uri = station()) {
        return run(&s, {"records", "sync"}, uri);
    }

    // The line holds the union of the stations' rows, none missing, none twice; and no station
    // has marked a row sent that the line lacks.
    static void expectLineIsUnion(const std::vector<const Station*>& stations) {
        const QStringList central =
            cluster_->column("line", "SELECT id::text FROM posflash_records");
        const QSet<QString> line(central.begin(), central.end());
        QSet<QString> all;
        qsizetype total = 0;
        for (const Station* s : stations) {
            const QSet<QString> rows = s->local("SELECT uuid FROM downloads");
            total += rows.size();
            all += rows;
            EXPECT_TRUE(line.contains(s->local("SELECT uuid FROM synced")));
        }
        EXPECT_EQ(total, all.size()) << "a UUID on two stations";
        EXPECT_EQ(central.size(), line.size()) << "a row twice on the line";
        EXPECT_EQ(line, all) << (all - line).size() << " missing, " << (line - all).size()
                             << " foreign";
    }
};

TEST_F(RecordsServer, ServerDownAtTheStartKeepsTheRowsForTheSyncAfter) {
    Station a, b;
    a.fill(120);
    b.fill(30);
    cluster_->stopServer();
    for (const Station* s : {&a, &b}) {
        const Finished ran = sync(*s);
        EXPECT_EQ(ran.exitCode, 1);
        EXPECT_TRUE(ran.err.contains("the server cannot be reached")) << ran.err.toStdString();
        EXPECT_FALSE(ran.err.contains(kStationPassword));
        EXPECT_TRUE(s->local("SELECT uuid FROM synced").isEmpty());
    }
    ASSERT_TRUE(cluster_->startServer());
    for (const Station* s : {&a, &b}) {
        const Finished ran = sync(*s);
        EXPECT_EQ(ran.exitCode, 0) << ran.err.toStdString();
        EXPECT_TRUE(QString::fromUtf8(ran.out).startsWith(
            QString("sent %1 records to postgresql://station:****@").arg(s == &a ? 120 : 30)))
            << ran.out.toStdString();
    }
    expectLineIsUnion({&a, &b});
}

// A line one init behind (without the recipe's sequence) keeps a newer station's rows waiting
// until the owner runs the init.
TEST_F(RecordsServer, ALineOneInitBehindKeepsTheRowsUntilItsInit) {
    Station a;
    a.fill(12);
    cluster_->admin("line", {"DELETE FROM posflash_schema WHERE version >= 8"});
    const Finished held = sync(a);
    const Finished report = run(&a, {"report", "--central", "--format", "csv"}, station());
    cluster_->admin("line", {"INSERT INTO posflash_schema (version) VALUES (8)"});
    EXPECT_EQ(held.exitCode, 1);
    EXPECT_TRUE(held.err.contains("version 7, this posflash needs 8")) << held.err.toStdString();
    EXPECT_EQ(report.exitCode, 1);
    const Finished synced = sync(a);
    EXPECT_EQ(synced.exitCode, 0) << synced.err.toStdString();
    expectLineIsUnion({&a});
}

TEST_F(RecordsServer, ServerStoppedInTheMiddleOfASyncAndStartedAgain) {
    Station a;
    a.fill(3000);
    QProcess p;
    prepare(p, &a, {"records", "sync", "--verbose", "--records-batch", "10"}, station());
    QEventLoop loop;
    QObject::connect(&p, &QProcess::readyReadStandardError, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    p.start();
    loop.exec(); // the first batch is committed
    cluster_->stopServer();
    const Finished cut = finishCli(p, clock, 60000);
    EXPECT_EQ(cut.exitCode, 1) << cut.err.toStdString();
    EXPECT_TRUE(cut.err.contains("were sent; they stay")) << cut.err.toStdString();
    ASSERT_TRUE(cluster_->startServer());
    EXPECT_EQ(sync(a).exitCode, 0);
    expectLineIsUnion({&a});
}

TEST_F(RecordsServer, KillNineInTheMiddleOfABatchFiftyTimesLosesAndDoublesNothing) {
    Station a;
    a.fill(4000);
    std::mt19937 random(::testing::UnitTest::GetInstance()->random_seed());
    int midway = 0;
    for (int round = 0; round < 50; ++round) {
        QProcess p;
        prepare(p, &a, {"records", "sync", "--verbose", "--records-batch", "7"}, station());
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
        // Every third round anywhere from its start-up on, the others once its batches flow:
        // a batch being sent, committed, or marked.
        const bool early = round % 3 == 0;
        if (!early)
            QObject::connect(&p, &QProcess::readyReadStandardError, [&] {
                if (!deadline.isActive())
                    deadline.start(std::uniform_int_distribution<int>(0, 25)(random));
            });
        p.start();
        if (early)
            deadline.start(std::uniform_int_distribution<int>(0, 150)(random));
        loop.exec();
        posflash::test::signalProcess(p, SIGKILL);
        p.waitForFinished();
        midway += p.readAllStandardError().contains("sent so far") ? 1 : 0;
    }
    const qsizetype marked = a.local("SELECT uuid FROM synced").size();
    const qsizetype onLine =
        cluster_->column("line", "SELECT count(*) FROM posflash_records").value(0).toLongLong();
    // More on the line than marked: a kill fell between a commit and its marks.
    std::cout << "kill -9: " << midway << " of 50 after a committed batch; " << onLine
              << " rows on the line, " << marked << " marked sent\n";
    EXPECT_GE(onLine, marked);
    EXPECT_GT(midway, 10);
    EXPECT_EQ(sync(a).exitCode, 0);
    expectLineIsUnion({&a});
}

TEST_F(RecordsServer, FourStationsSyncingAtOnce) {
    Station s[4];
    std::vector<std::unique_ptr<QProcess>> runs;
    QElapsedTimer clock;
    for (Station& one : s)
        one.fill(2500);
    clock.start();
    for (Station& one : s) {
        runs.push_back(std::make_unique<QProcess>());
        prepare(*runs.back(), &one, {"records", "sync"}, station());
        runs.back()->start();
    }
    for (auto& p : runs) {
        const Finished ran = finishCli(*p, clock, 60000);
        EXPECT_EQ(ran.exitCode, 0) << ran.err.toStdString();
    }
    std::cout << "4 x 2500 records synced at once in " << clock.elapsed()
              << " ms: " << 10000 * 1000 / std::max<qint64>(1, clock.elapsed()) << " records/s\n";
    expectLineIsUnion({&s[0], &s[1], &s[2], &s[3]});
}

TEST_F(RecordsServer, WrongPasswordIsSaidOnceAndKeepsTheRowsLocal) {
    Station a;
    a.fill(10);
    const Finished refused = sync(a, station("not-the-password"));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err.count("warning"), 1) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains("the server refused the login")) << refused.err.toStdString();
    EXPECT_FALSE(refused.err.contains("not-the-password"));
    // Given on the command line, the password is in every user's process list: said once.
    const Finished argument =
        run(&a, {"records", "sync", "--records", station("not-the-password")}, QString());
    EXPECT_EQ(argument.err.count("visible to every user"), 1) << argument.err.toStdString();
    EXPECT_FALSE(argument.err.contains("not-the-password"));
    EXPECT_FALSE(refused.err.contains("visible to every user"));
    // A download says it once too, and still ends as it would.
    const QString image = WriteFile(a.home.filePath("bad.bin"), "not a program");
    const Finished download = run(&a, {"download", "--port", "COM1", "--station", "line-1", image},
                                  station("not-the-password"));
    EXPECT_EQ(download.exitCode, 2);
    EXPECT_EQ(download.err.count("refused the login"), 1) << download.err.toStdString();
    EXPECT_TRUE(a.local("SELECT uuid FROM synced").isEmpty());
    EXPECT_EQ(sync(a).exitCode, 0);
    expectLineIsUnion({&a});
}

// A server that accepts and never answers: connect_timeout ends the sync; a download waits not.
TEST_F(RecordsServer, SilentServerNeitherHangsTheSyncNorSlowsADownload) {
    Station a;
    a.fill(5);
    const QString image = WriteFile(a.home.filePath("bad.bin"), "not a program");
    const QStringList download{"download", "--port", "COM1", "--station", "line-1", image};
    const Finished plain = run(&a, download, QString());
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    const QString uri = QString("postgresql://station@127.0.0.1:%1/line").arg(silent.serverPort());
    const Finished stuck = sync(a, uri + "?connect_timeout=2");
    EXPECT_EQ(stuck.exitCode, 1);
    EXPECT_TRUE(stuck.err.contains("no answer within 2 s")) << stuck.err.toStdString();
    EXPECT_LT(stuck.ms, 5000);
    const Finished slowed = run(&a, download, uri);
    EXPECT_EQ(slowed.exitCode, plain.exitCode);
    EXPECT_FALSE(slowed.crashed);
    // The exit waits at most 2 s, where waiting out the server would take its 5 s
    // connect_timeout: the bound lies between, with room for a loaded machine.
    EXPECT_LT(slowed.ms, plain.ms + 4000) << "the exit waits at most 2 s";
    // The same download with the line up sends its row, and history --central shows the line.
    const Finished sent = run(&a, download, station());
    EXPECT_EQ(sent.exitCode, 2);
    expectLineIsUnion({&a});
    const Finished local = run(&a, {"history", "--json"}, station());
    const Finished central = run(&a, {"history", "--json", "--central"}, station());
    EXPECT_EQ(central.exitCode, 0) << central.err.toStdString();
    EXPECT_EQ(central.out, local.out);
}

// Rows the line refuses (a CHECK, a NUL PostgreSQL cannot hold) are set aside with the server's
// words and block nothing; once the table's rules change they are tried again.
TEST_F(RecordsServer, RowsTheServerRefusesAreSetAsideNamedAndBlockNothing) {
    Station a;
    a.fill(1200);
    a.label(700, "REJECTME");
    a.label(1100, QString("SN-1") + QChar(0) + "2");
    cluster_->admin("line", {"ALTER TABLE posflash_records ADD CONSTRAINT no_rejectme CHECK "
                             "(label IS DISTINCT FROM 'REJECTME')"});
    const QSet<QString> refused =
        a.local("SELECT uuid FROM downloads WHERE label = 'REJECTME' OR label LIKE 'SN-1%'");
    ASSERT_EQ(refused.size(), 2);
    const auto onLine = [] {
        const QStringList ids = cluster_->column("line", "SELECT id::text FROM posflash_records");
        return QSet<QString>(ids.begin(), ids.end());
    };

    const Finished first = run(&a, {"records", "sync", "--records-batch", "500"}, station());
    EXPECT_EQ(first.exitCode, 1) << first.err.toStdString();
    EXPECT_TRUE(first.out.startsWith("sent 1198 records")) << first.out.toStdString();
    EXPECT_TRUE(first.err.contains("refused 2 records (set aside")) << first.err.toStdString();
    EXPECT_TRUE(first.err.contains("violates check constraint \"no_rejectme\""));
    EXPECT_TRUE(first.err.contains("invalid byte sequence for encoding \"UTF8\": 0x00"))
        << first.err.toStdString();
    for (const QString& uuid : refused)
        EXPECT_TRUE(first.err.contains(uuid)) << uuid.toStdString();
    EXPECT_EQ(onLine(), a.local("SELECT uuid FROM downloads") - refused);

    const Finished status = run(&a, {"records", "status"}, QString());
    EXPECT_EQ(status.exitCode, 0);
    EXPECT_TRUE(status.out.contains("1200 records, 1198 sent to the line, 0 waiting, 2 set aside"))
        << status.out.toStdString();
    EXPECT_TRUE(status.out.contains("SN-1\\x002")) << status.out.toStdString();

    // New rows pass by; the refused ones are not tried again under the same rules.
    a.fill(3);
    const Finished again = run(&a, {"records", "sync"}, station());
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.startsWith("sent 3 records")) << again.out.toStdString();
    EXPECT_TRUE(again.err.contains("2 records set aside earlier stay set aside"));

    cluster_->admin("line", {"ALTER TABLE posflash_records DROP CONSTRAINT no_rejectme"});
    const Finished changed = run(&a, {"records", "sync"}, station());
    EXPECT_EQ(changed.exitCode, 1) << changed.err.toStdString();
    EXPECT_TRUE(changed.out.startsWith("sent 1 record to")) << changed.out.toStdString();
    EXPECT_TRUE(changed.err.contains("refused 1 record (set aside"));
    EXPECT_EQ(onLine().size(), 1202);
}

// A server that stalls mid-batch: the pass ends at its deadline and the next sends the rows.
TEST_F(RecordsServer, AServerThatStallsMidBatchEndsThePassAndTheNextSendsTheRows) {
    Station a;
    a.fill(3001);
    const StallingProxy proxy(static_cast<uint16_t>(cluster_->port()), 300 * 1024);
    const QString through = QString("postgresql://station:%1@127.0.0.1:%2/line")
                                .arg(kStationPassword)
                                .arg(proxy.port());
    const Finished stalled = run(&a, {"records", "sync", "--records-batch", "3001"}, through);
    EXPECT_EQ(stalled.exitCode, 1) << stalled.err.toStdString();
    EXPECT_TRUE(stalled.err.contains("did not answer within")) << stalled.err.toStdString();
    EXPECT_LT(stalled.ms, 30000);
    std::printf("a stalled batch ended the sync after %lld ms\n",
                static_cast<long long>(stalled.ms));
    EXPECT_LT(a.local("SELECT uuid FROM synced").size(), 3001);
    EXPECT_EQ(sync(a).exitCode, 0);
    expectLineIsUnion({&a});
}

TEST_F(RecordsServer, StationsMayInsertAndReadNothingMore) {
    const QStringList denied = cluster_->column(
        "line", "SELECT p FROM (VALUES ('DELETE'), ('UPDATE'), ('TRUNCATE')) v(p) WHERE "
                "has_table_privilege('station', 'posflash_records', p)");
    EXPECT_TRUE(denied.isEmpty()) << denied.join(',').toStdString();
    EXPECT_EQ(cluster_->column("line", "SELECT has_table_privilege('station', 'posflash_yield', "
                                       "'SELECT') AND has_table_privilege('station', "
                                       "'posflash_schema', 'SELECT') AND NOT "
                                       "has_table_privilege('station', 'posflash_schema', "
                                       "'INSERT')"),
              QStringList{"t"});
    Station a;
    a.fill(14); // the seventh failed
    EXPECT_EQ(sync(a).exitCode, 0);
    EXPECT_EQ(cluster_->column("line", "SELECT attempts || ' ' || units_first_pass || ' ' || "
                                       "units_passed FROM posflash_yield"),
              QStringList{"14 13 13"});
}

// Units of two stations, days and shifts go through the journal and the sync; the line's views
// count them as the history's YieldOf does (the figures of unit_yield_test's rules).
TEST_F(RecordsServer, TheShiftReachesTheLineAndItsViewsCountTheYieldsAsTheHistoryDoes) {
    const QString shiftA = "5e0b7c1d-2a3f-4b6c-8d9e-0f1a2b3c4d5e";
    const QString shiftB = "6f1c8d2e-3b4a-4c7d-9e0f-1a2b3c4d5e6f";
    // clang-format off
    struct Row { const char* station; int day; QString shift; const char* unit; int attempt; const char* outcome; const char* cause = ""; };
    const Row rows[] = {
        {"line-1", 1, shiftA, "00000000-0000-4000-8000-000000000001", 1, "completed"},
        {"line-1", 1, shiftA, "00000000-0000-4000-8000-000000000002", 1, "failed"},
        {"line-1", 1, shiftA, "00000000-0000-4000-8000-000000000002", 2, "completed"},
        {"line-1", 1, shiftA, "00000000-0000-4000-8000-000000000003", 3, "cancelled"},
        {"line-1", 1, shiftA, "00000000-0000-4000-8000-000000000003", 1, "failed"},
        {"line-1", 1, shiftA, "00000000-0000-4000-8000-000000000003", 2, "failed"},
        {"line-1", 1, shiftA, "", 0, "completed"},
        {"line-1", 2, shiftB, "00000000-0000-4000-8000-000000000004", 1, "failed"},
        {"line-1", 2, shiftB, "00000000-0000-4000-8000-000000000004", 2, "completed"},
        {"line-1", 2, shiftB, "", 0, "failed"},
        // Refused before the first frame: no unit, and a unit counts by its real attempts.
        {"line-1", 2, shiftB, "00000000-0000-4000-8000-000000000006", 1, "failed", "port-busy"},
        {"line-1", 2, shiftB, "00000000-0000-4000-8000-000000000006", 2, "completed"},
        {"line-1", 2, shiftB, "00000000-0000-4000-8000-000000000007", 1, "refused", "recipe-label"},
        {"line-2", 1, {}, "", 0, "completed"},
        {"line-2", 1, {}, "", 0, "refused"},
        {"line-2", 1, {}, "00000000-0000-4000-8000-000000000005", 1, "completed"},
    };
    // clang-format on
    Station a, b; // line-1's and line-2's, each with its own role
    for (const Station* s : {&a, &b})
        ASSERT_TRUE(QDir().mkpath(QFileInfo(s->history()).absolutePath()));
    HistoryStore storeA(a.history()), storeB(b.history());
    for (const Row& row : rows) {
        HistoryStore& store = QLatin1String(row.station) == "line-1" ? storeA : storeB;
        HistoryRecord r;
        r.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
        // Noon UTC is the same day in the server's time zone, whichever it is.
        r.startedAt = QDateTime(QDate(2026, 3, row.day), QTime(12, row.attempt), Qt::UTC);
        r.frontEnd = row.shift.isEmpty() ? "cli" : "line";
        r.filePath = "/fw/app.bin";
        r.kind = "program";
        r.outcome = row.outcome;
        r.cause = row.cause;
        r.station = row.station;
        r.unit = row.unit;
        r.attempt = row.attempt;
        r.shift = row.shift;
        ASSERT_TRUE(HistoryJournal(store.journalPath()).append(r));
    }
    ASSERT_TRUE(storeA.replayJournal() && storeB.replayJournal());
    for (const auto& [s, role] : {std::pair{&a, "station1"}, {&b, "station2"}}) {
        const Finished sent = sync(*s, as(role));
        ASSERT_EQ(sent.exitCode, 0) << sent.err.toStdString();
    }
    expectLineIsUnion({&a, &b});

    const Finished ofShift =
        run(&a, {"history", "--json", "--central", "--shift", shiftA}, station());
    ASSERT_EQ(ofShift.exitCode, 0) << ofShift.err.toStdString();
    const auto rowsOfA = jsonLines(ofShift.out);
    EXPECT_EQ(rowsOfA.size(), 7u);
    for (const QJsonObject& row : rowsOfA)
        EXPECT_EQ(row["shift"].toString(), shiftA);
    // The line's table names each row's station; the local one stays as it was.
    const QString centralTable =
        QString::fromUtf8(run(&a, {"history", "--central", "--shift", shiftA}, station()).out);
    EXPECT_TRUE(centralTable.contains(QRegularExpression("\\sstation\\s+operator\\s")) &&
                centralTable.count(" line-1 ") == 7)
        << centralTable.toStdString();
    EXPECT_FALSE(run(&a, {"history"}, station()).out.contains(" station "));

    // Units, at the first attempt, in the end, and the two yields in per cent.
    const QString figures = "units || ' ' || units_first_pass || ' ' || units_passed || ' ' || "
                            "first_pass_yield_percent || ' ' || final_yield_percent";
    QStringList byDay = cluster_->column("line", "SELECT station || ' ' || to_char(day, "
                                                 "'YYYY-MM-DD') || ' ' || " +
                                                     figures + " FROM posflash_yield");
    QStringList byShift = cluster_->column("line", "SELECT station || ' ' || coalesce(shift, '-') "
                                                   "|| ' ' || " +
                                                       figures + " FROM posflash_yield_shift");
    byDay.sort(); // whatever the database's collation
    byShift.sort();
    EXPECT_EQ(byDay,
              (QStringList{"line-1 2026-03-01 4 2 3 50.0 75.0", "line-1 2026-03-02 3 1 2 33.3 66.7",
                           "line-2 2026-03-01 2 2 2 100.0 100.0"}));
    EXPECT_EQ(byShift,
              (QStringList{"line-1 " + shiftA + " 4 2 3 50.0 75.0",
                           "line-1 " + shiftB + " 3 1 2 33.3 66.7", "line-2 - 2 2 2 100.0 100.0"}));
    // The history's summary and the report's rows say the same of shift B.
    const Finished table = run(&a, {"history", "--shift", shiftB}, station());
    EXPECT_TRUE(table.out.endsWith("3 units: first-pass yield 33.3 % (1), final yield 66.7 % "
                                   "(2)\n2 attempts ended before the printer received a frame: "
                                   "not counted\n"))
        << table.out.toStdString();
    EXPECT_EQ(cluster_->column("line", "SELECT count(*) || ' ' || count(*) FILTER (WHERE "
                                       "real_attempts > 0 AND first_pass) || ' ' || count(*) "
                                       "FILTER (WHERE real_attempts > 0 AND passed) FROM "
                                       "posflash_report_units WHERE shift = '" +
                                           shiftB + "'"),
              QStringList{"4 1 2"});
}

// station2 sends line-1's failures and an engineering attempt of line-1's unit: the server
// refuses every row in line-1's name, and its own row with that unit is a unit of line-2.
TEST_F(RecordsServer, AStationRoleCannotRewriteAnotherStationsYieldsNorSayWhoSentARow) {
    const QString unit = "10000000-0000-4000-8000-000000000001";
    Station one, two;
    for (const QString& u : {unit, QUuid::createUuid().toString(QUuid::WithoutBraces)})
        one.add("line-1", u, 1, "completed");
    ASSERT_EQ(sync(one, as("station1")).exitCode, 0);
    two.add("line-1", unit, 2, "failed");
    two.add("line-1", "", 0, "failed");
    two.add("line-1", unit, 0, "completed", "engineering");
    two.add("line-2", unit, 0, "completed", "engineering");
    const Finished forged = sync(two, as("station2"));
    EXPECT_TRUE(forged.exitCode == 1 && forged.out.startsWith("sent 1 record") &&
                forged.err.contains("refused 3 records") &&
                forged.err.contains("the role station2 may send only rows of station line-2"))
        << forged.out.toStdString() << forged.err.toStdString();
    const QString figures = "SELECT station || ' ' || units || ' ' || final_yield_percent || ' ' "
                            "|| (SELECT count(*) FROM posflash_report_units r WHERE r.station = "
                            "y.station AND mode IS NULL AND r.attempts = 1) FROM posflash_yield y "
                            "ORDER BY 1";
    const QStringList untouched{"line-1 2 100.0 2", "line-2 1 100.0 0"};
    EXPECT_EQ(cluster_->column("line", figures), untouched);
    const Finished report =
        run(&one, {"report", "--lang", "en", "--central", "--station", "line-1"}, as("station1"));
    EXPECT_TRUE(report.out.contains("Final yield<b>100.0 %</b>")) << report.err.toStdString();
    // Who sent a row is the server's word, and a row its role did not send in line-1's name
    // counts not, however it got there.
    cluster_->admin("line", {"SET ROLE station2; INSERT INTO posflash_records (id, started_at, "
                             "duration_ms, front_end, file_path, kind, frames, retries, outcome, "
                             "station, inserted_by) VALUES (gen_random_uuid(), now(), 0, 'cli', "
                             "'', 'program', 0, 0, 'failed', 'line-2', 'station1')",
                             "UPDATE posflash_records SET station = 'line-1' WHERE outcome = "
                             "'failed'"});
    EXPECT_EQ(cluster_->column("line", "SELECT string_agg(DISTINCT inserted_by, ' ' ORDER BY "
                                       "inserted_by) FROM posflash_records"),
              QStringList{"station1 station2"});
    EXPECT_EQ(cluster_->column("line", figures), untouched);
    // A row without a station (the service window's) is its role's station's, not refused.
    cluster_->admin("line", {"SET ROLE station2; INSERT INTO posflash_records (id, started_at, "
                             "duration_ms, front_end, file_path, kind, frames, retries, outcome) "
                             "VALUES ('20000000-0000-4000-8000-000000000002', now(), 0, 'window', "
                             "'', 'program', 0, 0, 'completed')"});
    EXPECT_EQ(cluster_->column("line", "SELECT station FROM posflash_records WHERE id = "
                                       "'20000000-0000-4000-8000-000000000002'"),
              QStringList{"line-2"});
}

// A rollout's report: each printer (a MAC or a USB serial within its store) against the newest
// published recipe's image, read as a station's role; a station that sends another store's
// printer under its own name changes nothing of that store's.
TEST_F(RecordsServer, TheComplianceReportSaysWhichPrinterRunsTheRecipesImage) {
    const QByteArray newImage(32, '\x22'), oldImage(32, '\x11');
    Recipe recipe;
    std::tie(recipe.name, recipe.sequence, recipe.imageSha256, recipe.imageSize) =
        std::tuple("fw-r", 2, newImage, 100);
    PgLink publisher(*ParseRecordsAddress(owner()));
    ASSERT_TRUE(publisher.open() && PublishRecipe(publisher, {"fw-r", WriteRecipe(recipe), "sig",
                                                              QString(64, 'a'), 2}));
    // clang-format off
    struct Row { const char* station; const char* mac; const char* usb; const QByteArray* image; const char* recipe; int sequence; const char* outcome; const char* cause; };
    const Row rows[] = {
        {"line-1", "aa-00-00-00-00-01", "", &newImage, "fw-r", 2, "completed", ""},     // current
        {"line-1", "aa:00:00:00:00:02", "", &oldImage, "fw-r", 1, "completed", ""},     // older
        {"line-1", "", "U1", &newImage, "fw-r", 2, "failed", "printer-silent"},         // failed
        {"line-2", "bb-00-00-00-00-01", "", &newImage, "fw-r", 2, "refused", "outside-window"},
        {"line-2", "bb-00-00-00-00-02", "", &oldImage, "", -1, "completed", ""},        // unknown
        {"line-2", "bb-00-00-00-00-03", "", &newImage, "fw-r", 2, "failed", "not-back"},
        {"line-2", "bb-00-00-00-00-03", "", &newImage, "fw-r", 2, "completed", ""},     // current
        // line-2's role says line-1's failed USB printer is current: a printer of its own.
        {"line-2", "", "U1", &newImage, "fw-r", 2, "completed", ""},
    };
    // clang-format on
    Station one, two;
    int minute = 0;
    for (const Row& row : rows) {
        HistoryRecord r;
        r.startedAt = QDateTime(QDate(2026, 12, 8), QTime(22, ++minute), QTimeZone::utc());
        r.frontEnd = "cli";
        r.filePath = "/fw/app.bin";
        r.kind = "program";
        std::tie(r.station, r.printer.mac, r.printer.usbSerial, r.sha256, r.recipe,
                 r.recipeSequence, r.outcome, r.cause) =
            std::tuple(row.station, row.mac, row.usb, *row.image, row.recipe, row.sequence,
                       row.outcome, row.cause);
        Station& s = QLatin1String(row.station) == "line-1" ? one : two;
        ASSERT_TRUE(QDir().mkpath(QFileInfo(s.history()).absolutePath()) &&
                    HistoryStore(s.history()).add(r).place == HistoryWrite::Place::Database);
    }
    ASSERT_EQ(sync(one, as("station1")).exitCode, 0);
    ASSERT_EQ(sync(two, as("station2")).exitCode, 0);
    EXPECT_EQ(cluster_->column("line", "SELECT recipe_sequence || ' ' || mac FROM "
                                       "posflash_printer_images WHERE recipe_sequence = 1"),
              QStringList{"1 AA-00-00-00-00-02"});

    const QStringList ask{"report", "--compliance", "fw-r", "--central", "--lang", "en"};
    const Finished json = run(&one, ask + QStringList{"--format", "json"}, as("station1"));
    ASSERT_EQ(json.exitCode, 0) << json.err.toStdString();
    const QJsonObject report = QJsonDocument::fromJson(json.out).object();
    EXPECT_EQ(report["sha256"].toString(), QString::fromLatin1(newImage.toHex()));
    EXPECT_EQ(report["sequence"].toInt(), 2);
    const auto counts = [](const QJsonObject& o) {
        QStringList said;
        for (const char* key :
             {"printers", "current", "older", "failed", "pending", "unknown", "failures"})
            said << QString::number(o[key].toInt());
        return said.join(' ') + ' ' + QString::number(o["percent_current"].toDouble());
    };
    EXPECT_EQ(counts(report["totals"].toObject()), "7 3 1 1 1 1 2 42.9");
    const QJsonArray stores = report["stores"].toArray();
    ASSERT_EQ(stores.size(), 2);
    EXPECT_EQ(counts(stores[0].toObject()), "3 1 1 1 0 0 1 33.3");
    EXPECT_EQ(counts(stores[1].toObject()), "4 2 0 0 1 1 1 50");
    QStringList late;
    for (const QJsonValue v : report["stragglers"].toArray())
        late << v["station"].toString() + ' ' + v["mac"].toString() + v["usb_serial"].toString() +
                    ' ' + v["state"].toString() + ' ' + v["cause"].toString();
    EXPECT_EQ(late.join(", ").toStdString(),
              "line-1 U1 failed printer-silent, line-1 AA-00-00-00-00-02 older , "
              "line-2 BB-00-00-00-00-01 pending outside-window, line-2 BB-00-00-00-00-02 unknown ");
    // A store PC with no history of its own learns from the records what its printers run.
    const Station fresh;
    const Finished printers = run(&fresh,
                                  {"printers", "--net", "--ip", "127.0.0.1", "--mac",
                                   "aa-00-00-00-00-02", "--station", "line-1", "--json"},
                                  as("station1"));
    const QJsonObject last =
        QJsonDocument::fromJson(printers.out).object()["printers"][0]["last"].toObject();
    EXPECT_EQ(last["sha256"].toString() + ' ' + QString::number(last["recipe_sequence"].toInt()),
              QString::fromLatin1(oldImage.toHex()) + " 1")
        << printers.err.toStdString();
    const Finished csv = run(&one, ask + QStringList{"--format", "csv"}, as("station1"));
    EXPECT_EQ(QString::fromUtf8(csv.out).count("\r\n"), 8);
    const Finished none = run(&one, {"report", "--compliance", "fw-x", "--central"}, owner());
    EXPECT_TRUE(none.exitCode == 1 && none.err.contains("no recipe named fw-x is published"))
        << none.err.toStdString();

    // Both languages, drawn as a browser draws them (POSFLASH_KEEP_REPORTS=DIR keeps the PNGs).
    if (QStandardPaths::findExecutable("chromium").isEmpty())
        return;
    const QString keep = qEnvironmentVariable("POSFLASH_KEEP_REPORTS", one.home.path());
    for (const char* lang : {"en", "zh"}) {
        const QString html = one.home.filePath(QString("compliance-%1.html").arg(lang));
        const QString png = keep + QString("/compliance-%1.png").arg(lang);
        ASSERT_EQ(
            run(&one,
                {"report", "--compliance", "fw-r", "--central", "--lang", lang, "--out", html},
                as("station1"))
                .exitCode,
            0);
        QTemporaryDir profile;
        QProcess chromium;
        chromium.start("chromium", {"--headless", "--no-sandbox", "--disable-gpu",
                                    "--user-data-dir=" + profile.path(), "--window-size=800,1000",
                                    "--screenshot=" + png, QUrl::fromLocalFile(html).toString()});
        ASSERT_TRUE(chromium.waitForFinished(120000) && chromium.exitCode() == 0);
        EXPECT_FALSE(QImage(png).isNull()) << lang;
    }
}

// The header's count is of every row the window's sync sent, not of its last pass's.
TEST_F(RecordsServer, TheBackgroundSyncCountsEveryRowItSent) {
    Station a;
    a.fill(3);
    BackgroundSync sync(a.history());
    ASSERT_TRUE(sync.start(as("station1")));
    ASSERT_TRUE(sync.waitIdle(30000));
    EXPECT_EQ(sync.status(), "records: sent 3");
    a.fill(2);
    sync.syncNow();
    ASSERT_TRUE(sync.waitIdle(30000));
    EXPECT_EQ(sync.status(), "records: sent 5");
}

TEST_F(RecordsServer, GrantStationNamesTheRoleExactlyAndRefusesWhatItCannotBind) {
    const QString odd = "odd\"; DROP TABLE posflash_records; --";
    cluster_->admin("postgres", {"CREATE ROLE \"odd\"\"; DROP TABLE posflash_records; --\""});
    const QString rights = "SELECT has_table_privilege(rolname, 'posflash_records', 'INSERT') AND "
                           "has_table_privilege(rolname, 'posflash_yield', 'SELECT') FROM "
                           "pg_roles WHERE rolname LIKE 'odd%'";
    Station one;
    one.fill(2);
    ASSERT_EQ(sync(one, as("station1")).exitCode, 0);
    // clang-format off
    const struct { QStringList args; QString uri; int exitCode; QString said; const char* rights; } steps[] = {
        {{"grant-station", odd, "line '3"}, owner(), 0, "the role " + odd + " sends the records of station line '3", "t"},
        {{"revoke-station", odd}, owner(), 0, "is no longer station line '3's", "f"},
        {{"grant-station", odd, "line-3"}, as("station1"), 1, "run it as the owner", "f"},
        {{"grant-station", "nobody-here", "line-3"}, owner(), 1, "the server has no role named nobody-here", "f"},
        {{"grant-station", "admin", "line-3"}, owner(), 1, "row-level security does not bind it", "f"},
        {{"grant-station", "station1", "line-3"}, owner(), 1, "is granted station line-1 already", "f"},
        {{"revoke-station", "station1"}, owner(), 0, "is no longer station line-1's", "f"},
        {{"grant-station", "station1", "line-3"}, owner(), 1, "has sent rows of station line-1", "f"},
        {{"grant-station", "station1", "line-1"}, owner(), 0, "sends the records of station line-1", "f"},
    };
    // clang-format on
    for (const auto& step : steps) {
        SCOPED_TRACE(step.args.join(' ').toStdString());
        const Finished r = run(nullptr, QStringList{"records"} + step.args, step.uri);
        EXPECT_EQ(r.exitCode, step.exitCode);
        EXPECT_TRUE((r.exitCode ? r.err : r.out).contains(step.said.toUtf8())) << r.err.data();
        EXPECT_EQ(cluster_->column("line", rights), QStringList{step.rights});
    }
    EXPECT_EQ(sync(one, as("station1")).exitCode, 0); // granted again, it sends again
}

// A line at version 4 with rows: they stay, count as they did, and are the migrating role's;
// a role that held INSERT sends again once granted its station.
TEST_F(RecordsServer, AVersionFourLineKeepsItsRowsAndItsRolesSendOnceGranted) {
    cluster_->admin("postgres", {"CREATE DATABASE line4"});
    PgLink owner4(*ParseRecordsAddress(owner("line4")));
    ASSERT_TRUE(owner4.open() && InitCentralSchema(owner4, 4));
    cluster_->admin("line4", {"GRANT SELECT, INSERT ON posflash_records TO station",
                              "GRANT SELECT ON posflash_schema TO station"});
    // What an older build sent there: fourteen rows, the seventh failed.
    cluster_->admin("line4",
                    {"SET ROLE station; INSERT INTO posflash_records (id, started_at, duration_ms, "
                     "front_end, file_path, kind, frames, retries, outcome, station) SELECT "
                     "gen_random_uuid(), ((current_date + time '12:00') AT TIME ZONE 'UTC') - i * "
                     "interval '10 minutes', i, 'cli', '\\x2f', 'program', 3, 0, CASE WHEN i = 7 "
                     "THEN 'failed' ELSE 'completed' END, 'line-1' FROM generate_series(0, 13) i"});
    Station a;
    const QString figures = "SELECT units || ' ' || units_passed FROM posflash_yield";
    const QStringList before = cluster_->column("line4", figures);
    EXPECT_EQ(before, QStringList{"14 13"});
    const Finished init = run(nullptr, {"records", "init"}, owner("line4"));
    EXPECT_TRUE(init.out.contains("is at version 8 (it was at 4)")) << init.err.toStdString();
    EXPECT_EQ(cluster_->column("line4", "SELECT count(*) || ' ' || string_agg(DISTINCT "
                                        "inserted_by, ' ') FROM posflash_records"),
              QStringList{"14 admin"});
    EXPECT_EQ(cluster_->column("line4", figures), before);
    a.fill(1);
    const Finished unmapped = sync(a, as("station", "line4"));
    EXPECT_TRUE(unmapped.err.contains("the role station is not granted a station: run "
                                      "posflash-cli records grant-station station STATION"))
        << unmapped.err.toStdString();
    ASSERT_EQ(
        run(nullptr, {"records", "grant-station", "station", "line-1"}, owner("line4")).exitCode,
        0);
    EXPECT_EQ(sync(a, as("station", "line4")).exitCode, 0);
    EXPECT_EQ(cluster_->column("line4", figures), QStringList{"15 14"});
}
} // namespace
} // namespace posflash::testing
