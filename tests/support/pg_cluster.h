#pragma once
// A PostgreSQL cluster of the test's own on 127.0.0.1, run as nobody under root (initdb refuses
// root), under a shell that stops it when the test's pipe closes, so a dead test leaves none.

#include "support/test_files.h"

#include <QDir>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace posflash::testing {

class PgCluster {
public:
    static constexpr const char* kAdminPassword = "admin-pw";

    // The bin folder of the newest installed server, or empty.
    static QString binaries() {
        QDir root("/usr/lib/postgresql");
        QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (auto v = versions.rbegin(); v != versions.rend(); ++v)
            if (QFile::exists(root.filePath(*v + "/bin/initdb")))
                return root.filePath(*v + "/bin");
        return {};
    }

    // A started cluster with the line's database; nullptr without PostgreSQL or (a failure added)
    // when it does not start.
    static PgCluster* startedForSuite() {
        if (binaries().isEmpty())
            return nullptr;
        auto* cluster = new PgCluster;
        QString why;
        if (!cluster->create(why) || !cluster->startServer()) {
            ADD_FAILURE() << why.toStdString();
            delete cluster;
            return nullptr;
        }
        cluster->admin("postgres", {"CREATE DATABASE line"});
        return cluster;
    }

    // Makes the cluster; false (with the reason in why) when that fails.
    bool create(QString& why) {
        bin_ = binaries();
        if (!dir_.isValid() || bin_.isEmpty())
            return why = "no scratch folder or no server", false;
        if (::geteuid() == 0) {
            const passwd* nobody = ::getpwnam("nobody");
            if (!nobody)
                return why = "no user nobody", false;
            uid_ = nobody->pw_uid;
            gid_ = nobody->pw_gid;
            if (::chown(QFile::encodeName(dir_.path()).constData(), uid_, gid_) != 0)
                return why = "cannot give the scratch folder to nobody", false;
        }
        const QString pw = WriteFile(dir_.filePath("pw"), kAdminPassword);
        if (uid_ >= 0 && ::chown(QFile::encodeName(pw).constData(), uid_, gid_) != 0)
            return why = "cannot give the password file to nobody", false;
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        port_ = probe.serverPort();
        probe.close();
        QProcess initdb;
        initdb.setProcessChannelMode(QProcess::MergedChannels);
        start(initdb, bin_ + "/initdb",
              {"-D", dir_.filePath("data"), "-U", "admin", "--pwfile=" + pw, "--auth-local=trust",
               "--auth-host=scram-sha-256", "-E", "UTF8", "--no-sync"});
        if (!initdb.waitForFinished(60000) || initdb.exitCode() != 0)
            return why = "initdb failed: " + QString::fromLocal8Bit(initdb.readAll()), false;
        return true;
    }

    // Starts the server and returns once it accepts connections.
    bool startServer() {
        server_ = std::make_unique<QProcess>();
        server_->setProcessChannelMode(QProcess::SeparateChannels);
        start(*server_, "/bin/sh",
              {"-c", "\"$0\" \"$@\" & pid=$!; read _; kill -INT $pid; wait $pid",
               bin_ + "/postgres", "-D", dir_.filePath("data"), "-h", "127.0.0.1", "-p",
               QString::number(port_), "-k", dir_.path(), "-c", "fsync=off", "-c",
               "max_connections=60",
               // Nobody reads the server's standard error after its start: a refused statement
               // logged whole (tens of kB) would fill the pipe and stall the server's backend.
               "-c", "log_min_messages=log", "-c", "log_min_error_statement=panic"});
        server_->setReadChannel(QProcess::StandardError);
        QByteArray log;
        while (!log.contains("ready to accept connections") && server_->waitForReadyRead(30000))
            log += server_->readAllStandardError();
        const bool ready = log.contains("ready to accept connections");
        if (!ready)
            ADD_FAILURE() << "the server did not start: " << log.toStdString();
        return ready;
    }

    // A fast shutdown: connected clients are cut off, as a server taken down is.
    void stopServer() {
        if (!server_)
            return;
        server_->closeWriteChannel();
        server_->waitForFinished(30000);
        server_.reset();
    }

    int port() const { return port_; }
    QString uri(const QString& user, const QString& password, const QString& db) const {
        return QString("postgresql://%1:%2@127.0.0.1:%3/%4").arg(user, password).arg(port_).arg(db);
    }

    // Runs statements as the cluster's owner; the first failure is a test failure.
    void admin(const QString& db, const QStringList& statements) const {
        for (const QString& s : statements)
            ASSERT_NO_FATAL_FAILURE(query(db, s));
    }

    // The server's refusal of statements run as the owner (SET ROLE first to be another role),
    // or empty when they succeeded.
    QString refusal(const QString& db, const QString& statements) const {
        const QByteArray info = QString("host=127.0.0.1 port=%1 user=admin password=%2 dbname=%3")
                                    .arg(port_)
                                    .arg(kAdminPassword, db)
                                    .toUtf8();
        const std::unique_ptr<PGconn, void (*)(PGconn*)> c(PQconnectdb(info.constData()), PQfinish);
        if (PQstatus(c.get()) != CONNECTION_OK)
            return QString::fromUtf8(PQerrorMessage(c.get()));
        const std::unique_ptr<PGresult, void (*)(PGresult*)> r(
            PQexec(c.get(), statements.toUtf8().constData()), PQclear);
        const ExecStatusType status = PQresultStatus(r.get());
        return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK
                   ? QString()
                   : QString::fromUtf8(PQresultErrorMessage(r.get()));
    }

    QStringList column(const QString& db, const QString& select) const {
        QStringList values;
        query(db, select, &values);
        return values;
    }
    ~PgCluster() { stopServer(); }

private:
    // One statement on a connection of its own; the first column of its rows into values.
    void query(const QString& db, const QString& statement, QStringList* values = nullptr) const {
        const QByteArray info = QString("host=127.0.0.1 port=%1 user=admin password=%2 dbname=%3")
                                    .arg(port_)
                                    .arg(kAdminPassword, db)
                                    .toUtf8();
        const std::unique_ptr<PGconn, void (*)(PGconn*)> c(PQconnectdb(info.constData()), PQfinish);
        ASSERT_EQ(PQstatus(c.get()), CONNECTION_OK) << PQerrorMessage(c.get());
        PQsetNoticeProcessor(
            c.get(), [](void*, const char*) {}, nullptr);
        const std::unique_ptr<PGresult, void (*)(PGresult*)> r(
            PQexec(c.get(), statement.toUtf8().constData()), PQclear);
        const ExecStatusType status = PQresultStatus(r.get());
        ASSERT_TRUE(status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
            << statement.toStdString() << ": " << PQresultErrorMessage(r.get());
        for (int i = 0; values && i < PQntuples(r.get()); ++i)
            *values << QString::fromUtf8(PQgetvalue(r.get(), i, 0));
    }

    // As nobody when root.
    void start(QProcess& p, const QString& program, const QStringList& args) const {
        if (uid_ < 0)
            return p.start(program, args);
        p.start("setpriv",
                QStringList{"--reuid=" + QString::number(uid_), "--regid=" + QString::number(gid_),
                            "--clear-groups", "--", program} +
                    args);
    }

    QTemporaryDir dir_;
    QString bin_;
    int uid_ = -1;
    int gid_ = -1;
    int port_ = 0;
    std::unique_ptr<QProcess> server_;
};

// A test suite's cluster, started before its first test and stopped after its last; without
// PostgreSQL each test is skipped, or fails under POSFLASH_REQUIRE_POSTGRES=1.
template <class Suite>
class PgSuite : public ::testing::Test {
protected:
    static void SetUpTestSuite() { cluster_ = PgCluster::startedForSuite(); }
    static void TearDownTestSuite() {
        delete cluster_;
        cluster_ = nullptr;
    }
    void SetUp() override {
        if (cluster_)
            return;
        if (qEnvironmentVariableIntValue("POSFLASH_REQUIRE_POSTGRES") == 1)
            FAIL() << "PostgreSQL is required here: install the package postgresql";
        GTEST_SKIP() << "PostgreSQL is not installed: install the package postgresql";
    }
    static inline PgCluster* cluster_ = nullptr;
};

} // namespace posflash::testing
