#include "records/pg_link.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <cerrno>
#include <libpq-fe.h>
#include <poll.h>
#include <vector>

namespace posflash {
namespace {

bool isLoginRefusal(const QString& message) {
    return message.contains(QLatin1String("password authentication failed")) ||
           message.contains(QLatin1String("no password supplied")) ||
           message.contains(QLatin1String("pg_hba.conf")) ||
           (message.contains(QLatin1String("role \"")) &&
            message.contains(QLatin1String("does not exist"))) ||
           message.contains(QLatin1String("authentication failed"));
}

// Classes 22 (data exceptions) and 23 (integrity), and an exception a trigger raises: the row's
// values, not the link or the schema.
bool isRowRefusal(const QString& state) {
    return state.startsWith(QLatin1String("22")) || state.startsWith(QLatin1String("23")) ||
           state == QLatin1String("P0001");
}

int troubleOf(const QString& state, const QString& message) {
    if (state == QLatin1String("3D000") ||
        (state.isEmpty() && message.contains(QLatin1String("database \"")) &&
         message.contains(QLatin1String("does not exist"))))
        return records_trouble::kNoDatabase;
    if (state.startsWith(QLatin1String("28")) || (state.isEmpty() && isLoginRefusal(message)))
        return records_trouble::kLoginRefused;
    if (state == QLatin1String("42P01") || state == QLatin1String("42703"))
        return records_trouble::kNotSetUp;
    if (state == QLatin1String("42501"))
        return records_trouble::kDenied;
    if (isRowRefusal(state))
        return records_trouble::kRowRefused;
    return records_trouble::kOffline;
}

Error errorOf(const QString& context, const QString& state, const QString& message) {
    const QString said = message.simplified();
    return RecordsFailure(troubleOf(state, said),
                          context + QStringLiteral(" (") + said + QLatin1Char(')'), said);
}

class Deadline {
public:
    explicit Deadline(int ms) : ms_(ms) { clock_.start(); }
    int left() const { return static_cast<int>(std::max<qint64>(0, ms_ - clock_.elapsed())); }

private:
    int ms_;
    QElapsedTimer clock_;
};

// Waits for the socket; false once the deadline is over.
bool waitFor(int fd, short events, const Deadline& deadline) {
    for (;;) {
        const int left = deadline.left();
        if (left <= 0)
            return false;
        pollfd p{fd, events, 0};
        const int r = ::poll(&p, 1, left);
        if (r > 0)
            return true;
        if (r == 0 || errno != EINTR)
            return false;
    }
}

} // namespace

Error RecordsFailure(int trouble, QString text, QString serverWords) {
    return Error{trouble, std::move(text), std::move(serverWords), ErrorDomain::Records};
}

int PgRows::count() const {
    return result_ ? PQntuples(result_.get()) : 0;
}

bool PgRows::isNull(int row, int column) const {
    return !result_ || PQgetisnull(result_.get(), row, column) != 0;
}

QString PgRows::text(int row, int column) const {
    if (isNull(row, column))
        return {};
    return QString::fromUtf8(PQgetvalue(result_.get(), row, column),
                             PQgetlength(result_.get(), row, column));
}

qint64 PgRows::number(int row, int column, qint64 absent) const {
    bool ok = false;
    const qint64 n = text(row, column).toLongLong(&ok);
    return ok ? n : absent;
}

PgLink::PgLink(RecordsAddress address, PgLinkOptions options)
    : address_(std::move(address)), options_(options) {}

PgLink::~PgLink() {
    drop();
}

void PgLink::drop() {
    if (conn_)
        PQfinish(conn_);
    conn_ = nullptr;
}

Status PgLink::open() {
    drop();
    std::vector<QByteArray> keys;
    std::vector<QByteArray> values;
    const auto set = [&](const char* key, const QString& value) {
        if (value.isEmpty())
            return; // libpq's default, the service file or the environment
        keys.emplace_back(key);
        values.push_back(value.toUtf8());
    };
    set("host", address_.host);
    set("port", address_.port > 0 ? QString::number(address_.port) : QString());
    set("user", address_.user);
    set("password", address_.password);
    set("dbname", address_.database);
    set("sslmode", address_.sslmode);
    set("service", address_.service);
    set("connect_timeout", QString::number(address_.connectTimeoutS));
    set("application_name", QStringLiteral("posflash"));
    set("client_encoding", QStringLiteral("UTF8"));
    // A network gone mid-statement is noticed by the kernel too, not only by the deadline here.
    set("keepalives_idle", QStringLiteral("10"));
    set("keepalives_interval", QStringLiteral("5"));
    set("keepalives_count", QStringLiteral("3"));
    set("options", QStringLiteral("-c statement_timeout=%1").arg(options_.statementMs));
    std::vector<const char*> k;
    std::vector<const char*> v;
    for (size_t i = 0; i < keys.size(); ++i) {
        k.push_back(keys[i].constData());
        v.push_back(values[i].constData());
    }
    k.push_back(nullptr);
    v.push_back(nullptr);

    const auto refused = [this](const QString& why) {
        Error e = errorOf(QString(), QString(), why);
        const QString words = e.detail;
        switch (e.code) {
        case records_trouble::kLoginRefused:
            e.text = QStringLiteral("the server refused the login (%1)").arg(words);
            break;
        case records_trouble::kNoDatabase:
            e.text = QStringLiteral("the server has no such database (%1)").arg(words);
            break;
        default:
            e.code = records_trouble::kOffline;
            e.text = QStringLiteral("the server cannot be reached (%1)").arg(words);
        }
        drop();
        return Status(e);
    };
    const Deadline deadline(address_.connectTimeoutS * 1000);
    conn_ = PQconnectStartParams(k.data(), v.data(), 0);
    if (!conn_)
        return refused(QStringLiteral("out of memory"));
    if (PQstatus(conn_) == CONNECTION_BAD)
        return refused(QString::fromUtf8(PQerrorMessage(conn_)));
    for (PostgresPollingStatusType state = PGRES_POLLING_WRITING;;) {
        if (state == PGRES_POLLING_OK)
            break;
        if (state == PGRES_POLLING_FAILED)
            return refused(QString::fromUtf8(PQerrorMessage(conn_)));
        if (!waitFor(PQsocket(conn_), state == PGRES_POLLING_READING ? POLLIN : POLLOUT, deadline))
            return refused(QStringLiteral("no answer within %1 s").arg(address_.connectTimeoutS));
        state = PQconnectPoll(conn_);
    }
    // The server's notices (a NOTICE of a statement, a WARNING) are no concern of a station's
    // user: libpq would print them on standard error.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    if (PQsetnonblocking(conn_, 1) != 0)
        return refused(QString::fromUtf8(PQerrorMessage(conn_)));
    return {};
}

PgAnswer PgLink::exec(const QString& sql, std::span<const PgValue> values, const QString& context) {
    PgAnswer answer;
    const auto lost = [&](const QString& why) {
        answer.status = RecordsFailure(
            records_trouble::kOffline,
            context + QStringLiteral(" (") + why.simplified() + QLatin1Char(')'), why.simplified());
        drop();
        return answer;
    };
    if (!conn_)
        return lost(QStringLiteral("not connected"));
    std::vector<const char*> data;
    std::vector<int> lengths;
    std::vector<int> formats;
    for (const PgValue& value : values) {
        data.push_back(value.kind == PgValue::Kind::Null ? nullptr : value.bytes.constData());
        lengths.push_back(static_cast<int>(value.bytes.size()));
        formats.push_back(value.kind == PgValue::Kind::Raw ? 1 : 0);
    }
    const QByteArray statement = sql.toUtf8();
    if (!PQsendQueryParams(conn_, statement.constData(), static_cast<int>(values.size()), nullptr,
                           data.data(), lengths.data(), formats.data(), 0))
        return lost(QString::fromUtf8(PQerrorMessage(conn_)));

    const int waitMs = options_.statementMs + options_.slackMs;
    const Deadline deadline(waitMs);
    const QString silent =
        QStringLiteral("the server did not answer within %1 s").arg((waitMs + 999) / 1000);
    // Sends what libpq holds; an answer arriving meanwhile is read so that neither side waits
    // on the other's full buffer.
    for (;;) {
        const int flushed = PQflush(conn_);
        if (flushed == 0)
            break;
        if (flushed < 0)
            return lost(QString::fromUtf8(PQerrorMessage(conn_)));
        if (!waitFor(PQsocket(conn_), POLLIN | POLLOUT, deadline))
            return lost(silent);
        if (!PQconsumeInput(conn_))
            return lost(QString::fromUtf8(PQerrorMessage(conn_)));
    }
    for (;;) {
        while (PQisBusy(conn_)) {
            if (!waitFor(PQsocket(conn_), POLLIN, deadline))
                return lost(silent);
            if (!PQconsumeInput(conn_))
                return lost(QString::fromUtf8(PQerrorMessage(conn_)));
        }
        PGresult* result = PQgetResult(conn_);
        if (!result)
            break;
        std::shared_ptr<pg_result> held(result, PQclear);
        const ExecStatusType status = PQresultStatus(result);
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
            answer.rows.result_ = std::move(held);
            continue;
        }
        if (!answer.ok())
            continue;
        const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
        const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
        QString words = QString::fromUtf8(primary ? primary : PQresultErrorMessage(result));
        // A value the server refused on its way in: name its parameter, which the caller can
        // turn into a column.
        if (const char* where = PQresultErrorField(result, PG_DIAG_CONTEXT)) {
            static const QRegularExpression parameter(QStringLiteral("parameter \\$(\\d+)"));
            if (const auto m = parameter.match(QString::fromUtf8(where)); m.hasMatch())
                words += QStringLiteral(" [$%1]").arg(m.captured(1));
        }
        answer.status = errorOf(context, QString::fromLatin1(state ? state : ""), words);
    }
    if (PQstatus(conn_) == CONNECTION_BAD && answer.ok())
        return lost(QString::fromUtf8(PQerrorMessage(conn_)));
    if (PQstatus(conn_) == CONNECTION_BAD)
        drop();
    return answer;
}

} // namespace posflash
