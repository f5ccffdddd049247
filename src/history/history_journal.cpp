#include "history/history_journal.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posflash {
namespace {

// A descriptor closed when it goes; closing it lets go of its flock.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

int lockOf(int fd, int how) {
    int r;
    do
        r = ::flock(fd, how);
    while (r != 0 && errno == EINTR);
    return r;
}

Status writeAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return SystemError(errno, QStringLiteral("cannot write"));
        done += n;
    }
    return {};
}

QJsonValue textOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// The readers of a journal line's fields: each clears ok when the value is none lineOf writes.
bool isUuid(const QString& text) {
    const QUuid uuid(text);
    return !uuid.isNull() && uuid.toString(QUuid::WithoutBraces) == text;
}

bool isCauseCode(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

qint64 integerOf(const QJsonValue& value, qint64 least, qint64 most, bool& ok) {
    const double number = value.toDouble(std::nan(""));
    // A double holds every integer of these ranges but the largest qint64s, which no record has.
    if (!value.isDouble() || std::trunc(number) != number || number < static_cast<double>(least) ||
        number > static_cast<double>(most)) {
        ok = false;
        return least;
    }
    return static_cast<qint64>(number);
}

QString oneOf(const QJsonValue& value, const QStringList& allowed, bool& ok) {
    const QString text = value.toString();
    ok = ok && value.isString() && allowed.contains(text);
    return text;
}

QString textOf(const QJsonValue& value, bool& ok) {
    ok = ok && (value.isString() || value.isNull() || value.isUndefined());
    return value.toString();
}

// Syncs the folder of path, so that a file made there keeps its name after a crash.
Status syncFolderOf(const QString& path) {
    const Fd folder(::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                           O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0 || ::fsync(folder.get()) != 0)
        return SystemError(errno, QStringLiteral("cannot sync the folder of %1").arg(path));
    return {};
}

// The lines a replay moves aside, appended to a file opened at the first of them. Unless
// kept, the file is cut back to what it held before, so that a replay that fails and runs
// again moves each line once.
class Quarantine {
public:
    explicit Quarantine(QString path) : path_(std::move(path)) {}
    ~Quarantine() {
        if (fd_ && !kept_)
            (void)::ftruncate(fd_->get(), startSize_);
    }
    Quarantine(const Quarantine&) = delete;
    Quarantine& operator=(const Quarantine&) = delete;

    // Adds bytes of a line; a new line counts.
    Status write(const QByteArray& bytes, bool newLine) {
        if (!fd_) {
            created_ = !QFileInfo::exists(path_);
            fd_.emplace(::open(QFile::encodeName(path_).constData(),
                               O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
            struct stat st {};
            if (fd_->get() < 0 || ::fstat(fd_->get(), &st) != 0) {
                const int error = errno;
                fd_.reset();
                return SystemError(error, QStringLiteral("cannot open %1").arg(path_));
            }
            startSize_ = st.st_size;
        }
        lines_ += newLine ? 1 : 0;
        if (Status written = writeAll(fd_->get(), bytes); !written)
            return Error{written.error().code, path_ + QStringLiteral(": ") + written.error().text,
                         written.error().detail};
        return {};
    }

    // Syncs what was added: only then may the journal forget it.
    Status keep() {
        if (!fd_)
            return {};
        if (::fsync(fd_->get()) != 0)
            return SystemError(errno, QStringLiteral("cannot sync %1").arg(path_));
        if (created_)
            if (Status synced = syncFolderOf(path_); !synced)
                return synced;
        kept_ = true;
        return {};
    }

    qint64 lines() const { return lines_; }

private:
    QString path_;
    std::optional<Fd> fd_;
    off_t startSize_ = 0;
    qint64 lines_ = 0;
    bool created_ = false;
    bool kept_ = false;
};

} // namespace

QByteArray HistoryJournal::lineOf(const HistoryRecord& r) {
    const QJsonObject o{
        {"uuid", r.uuid},
        {"started", r.startedAt.toUTC().toString(Qt::ISODateWithMs)},
        {"ms", r.milliseconds},
        {"front_end", r.frontEnd},
        {"com", r.comNumber},
        {"device", textOrNull(r.deviceNode)},
        {"usb_path", textOrNull(r.usbPath)},
        {"usb_serial", textOrNull(r.usbSerial)},
        {"ip", textOrNull(r.ip)},
        {"mac", textOrNull(r.mac)},
        // The path's bytes may be no UTF-8 at all.
        {"path_base64", QString::fromLatin1(r.filePath.toBase64())},
        {"size", r.fileSize},
        {"sha256", QString::fromLatin1(r.sha256.toHex())},
        {"kind", r.kind},
        {"crc16", r.crc16},
        {"frames", r.frames},
        {"retries", r.retries},
        {"outcome", r.outcome},
        {"cause", textOrNull(r.cause)},
        {"reason_en", textOrNull(r.reasonEn)},
        {"reason_zh", textOrNull(r.reasonZh)},
        {"operator", textOrNull(r.operatorName)},
        {"station", textOrNull(r.station)},
        {"label", textOrNull(r.label)},
        {"unit", textOrNull(r.unit)},
        {"attempt", r.attempt},
        {"shift", textOrNull(r.shift)},
    };
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<HistoryRecord> HistoryJournal::recordOf(const QByteArray& line) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject o = doc.object();
    bool ok = true;
    const auto need = [&ok](bool holds) { ok = ok && holds; };
    HistoryRecord r;
    r.uuid = o["uuid"].toString();
    need(isUuid(r.uuid));
    const QJsonValue started = o["started"];
    r.startedAt = QDateTime::fromString(started.toString(), Qt::ISODateWithMs);
    need(started.isString() && r.startedAt.isValid());
    r.milliseconds = integerOf(o["ms"], 0, std::numeric_limits<qint64>::max(), ok);
    r.frontEnd = oneOf(o["front_end"], HistoryStore::frontEnds(), ok);
    r.comNumber = static_cast<int>(integerOf(o["com"], 0, 255, ok));
    // The texts lineOf leaves out when empty are null; a line of an earlier release may lack
    // those it did not know yet.
    r.deviceNode = textOf(o["device"], ok);
    r.usbPath = textOf(o["usb_path"], ok);
    r.usbSerial = textOf(o["usb_serial"], ok);
    r.ip = textOf(o["ip"], ok);
    r.mac = textOf(o["mac"], ok);
    const QJsonValue path = o["path_base64"];
    const QByteArray pathBase64 = path.toString().toLatin1();
    auto decoded =
        QByteArray::fromBase64Encoding(pathBase64, QByteArray::AbortOnBase64DecodingErrors);
    need(path.isString() && decoded && decoded.decoded.toBase64() == pathBase64);
    r.filePath = decoded.decoded;
    r.fileSize = integerOf(o["size"], -1, std::numeric_limits<qint64>::max(), ok);
    const QJsonValue sha256 = o["sha256"];
    r.sha256 = QByteArray::fromHex(sha256.toString().toLatin1());
    need(sha256.isString() && (r.sha256.isEmpty() || r.sha256.size() == 32) &&
         QString::fromLatin1(r.sha256.toHex()) == sha256.toString());
    r.kind = oneOf(o["kind"], HistoryStore::kinds(), ok);
    r.crc16 = static_cast<int>(integerOf(o["crc16"], -1, 0xFFFF, ok));
    r.frames = static_cast<int>(integerOf(o["frames"], 0, std::numeric_limits<int>::max(), ok));
    r.retries = static_cast<int>(integerOf(o["retries"], 0, std::numeric_limits<int>::max(), ok));
    r.outcome = oneOf(o["outcome"], HistoryStore::outcomes(), ok);
    r.cause = textOf(o["cause"], ok);
    need(r.cause.isEmpty() || isCauseCode(r.cause));
    r.reasonEn = textOf(o["reason_en"], ok);
    r.reasonZh = textOf(o["reason_zh"], ok);
    r.operatorName = textOf(o["operator"], ok);
    r.station = textOf(o["station"], ok);
    r.label = textOf(o["label"], ok);
    r.unit = textOf(o["unit"], ok);
    need(r.unit.isEmpty() || isUuid(r.unit));
    const QJsonValue attempt = o["attempt"];
    r.attempt = attempt.isUndefined()
                    ? 0
                    : static_cast<int>(integerOf(attempt, 0, std::numeric_limits<int>::max(), ok));
    r.shift = textOf(o["shift"], ok);
    need(r.shift.isEmpty() || isUuid(r.shift));
    if (!ok)
        return std::nullopt;
    return r;
}

Status HistoryJournal::append(const HistoryRecord& record) const {
    const QByteArray native = QFile::encodeName(path_);
    const bool existed = QFileInfo::exists(path_);
    const Fd fd(::open(native.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        return SystemError(errno, QStringLiteral("cannot open %1").arg(path_));
    // Waits for a replay to end: it empties the file once it is done.
    if (lockOf(fd.get(), LOCK_EX) != 0)
        return SystemError(errno, QStringLiteral("cannot lock %1").arg(path_));
    if (Status written = writeAll(fd.get(), lineOf(record) + '\n'); !written)
        return Error{written.error().code, path_ + QStringLiteral(": ") + written.error().text,
                     written.error().detail};
    if (::fsync(fd.get()) != 0)
        return SystemError(errno, QStringLiteral("cannot sync %1").arg(path_));
    // A new file's name is only kept once its folder is synced too.
    return existed ? Status{} : syncFolderOf(path_);
}

Result<qint64> HistoryJournal::replay(
    const Limits& limits,
    const std::function<Status(const std::vector<HistoryRecord>&)>& commit) const {
    const Fd fd(::open(QFile::encodeName(path_).constData(), O_RDWR | O_CLOEXEC));
    if (fd.get() < 0)
        return errno == ENOENT ? Result<qint64>(0)
                               : SystemError(errno, QStringLiteral("cannot open %1").arg(path_));
    if (lockOf(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK
                   ? Result<qint64>(0)
                   : SystemError(errno, QStringLiteral("cannot lock %1").arg(path_));
    Quarantine rejected(rejectedPath());
    std::vector<HistoryRecord> batch;
    const auto commitBatch = [&]() -> Status {
        if (batch.empty())
            return {};
        Status committed = commit(batch);
        batch.clear();
        return committed;
    };
    const auto take = [&](const QByteArray& line) -> Status {
        if (line.isEmpty())
            return {};
        auto record = recordOf(line);
        if (!record)
            return rejected.write(line + '\n', true);
        batch.push_back(std::move(*record));
        return static_cast<int>(batch.size()) >= std::max(limits.batchRows, 1) ? commitBatch()
                                                                               : Status{};
    };
    // Memory holds a batch and a line: a line longer than lineBytes goes aside as it is read.
    QByteArray chunk(std::max<qsizetype>(limits.chunkBytes, 1), Qt::Uninitialized);
    QByteArray line;
    bool overlong = false; // the line's start was moved aside already
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return SystemError(errno, QStringLiteral("cannot read %1").arg(path_));
        if (n == 0)
            break;
        for (qsizetype from = 0; from < n;) {
            const char* begin = chunk.constData() + from;
            const auto* newline = static_cast<const char*>(std::memchr(begin, '\n', n - from));
            const qsizetype length = newline ? newline - begin : n - from;
            line.append(begin, length);
            from += length + (newline ? 1 : 0);
            Status done;
            if (overlong || line.size() > limits.lineBytes) {
                done = rejected.write(newline ? line + '\n' : line, !overlong);
                overlong = !newline;
                line.clear();
            } else if (newline) {
                done = take(line);
                line.clear();
            }
            if (!done)
                return done.error();
        }
    }
    // A last line without its newline is a write a crash cut off, unless it reads whole.
    Status done = overlong ? rejected.write("\n", false) : Status{};
    if (done && !overlong)
        if (auto record = recordOf(line))
            batch.push_back(std::move(*record));
    if (done)
        done = commitBatch();
    if (done)
        done = rejected.keep();
    if (!done)
        return done.error();
    if (::ftruncate(fd.get(), 0) != 0 || ::fsync(fd.get()) != 0)
        return SystemError(errno, QStringLiteral("cannot empty %1").arg(path_));
    return rejected.lines();
}

} // namespace posflash
