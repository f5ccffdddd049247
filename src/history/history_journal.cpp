#include "history/history_journal.h"
#include "base/unique_fd.h"

#include "history/record_fields.h"
#include "history/text_forms.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstring>
#include <optional>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace posflash {
namespace {

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

// Lines written before the journal spoke history --json's language: the duration in "ms", the
// path only in "path_base64", -1 or 0 for an absent number, "" for no SHA-256, and no attempt in
// lines from before units. Rewritten into today's spelling, they are held to today's rules.
std::optional<QJsonObject> fromFirstSpelling(QJsonObject o) {
    for (const RecordField& field : RecordFields()) {
        const QString key = QLatin1String(field.json);
        const QJsonValue value = o.value(key);
        switch (field.encoding) {
        case FieldEncoding::Duration:
            o.insert(key, o.value(QLatin1String("ms")).isDouble()
                              ? QJsonValue(o.value(QLatin1String("ms")).toDouble() / 1000)
                              : o.value(QLatin1String("ms")));
            break;
        case FieldEncoding::Integer:
            if (field.nullable() && value.isDouble() &&
                value.toDouble() == static_cast<double>(field.absent))
                o.insert(key, QJsonValue());
            break;
        case FieldEncoding::Hex:
            if (value == QJsonValue(QString()))
                o.insert(key, QJsonValue());
            break;
        case FieldEncoding::Text:
            if (value.isUndefined() && !field.required)
                o.insert(key, QJsonValue());
            break;
        case FieldEncoding::Bytes: {
            const QByteArray given = o.value(Base64KeyOf(field)).toString().toLatin1();
            auto decoded =
                QByteArray::fromBase64Encoding(given, QByteArray::AbortOnBase64DecodingErrors);
            if (!o.value(Base64KeyOf(field)).isString() || !decoded ||
                decoded.decoded.toBase64() != given)
                return std::nullopt;
            o.insert(key, EscapedName(decoded.decoded));
            if (IsUtf8(decoded.decoded))
                o.remove(Base64KeyOf(field));
            break;
        }
        case FieldEncoding::Uuid:
        case FieldEncoding::Time:
            break;
        }
    }
    if (!o.contains(QLatin1String("attempt")))
        o.insert(QLatin1String("attempt"), QJsonValue());
    return o;
}

// Syncs the folder of path, so that a file made there keeps its name after a crash.
Status syncFolderOf(const QString& path) {
    const UniqueFd folder(::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
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
            return WithContext(written.error(), path_);
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
    std::optional<UniqueFd> fd_;
    off_t startSize_ = 0;
    qint64 lines_ = 0;
    bool created_ = false;
    bool kept_ = false;
};

} // namespace

QByteArray HistoryJournal::lineOf(const HistoryRecord& record) {
    return JsonLineOf(record);
}

std::optional<HistoryRecord> HistoryJournal::recordOf(const QByteArray& line) {
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject object = doc.object();
    if (!object.contains(QLatin1String("ms")))
        return RecordOfJson(object);
    const std::optional<QJsonObject> rewritten = fromFirstSpelling(object);
    return rewritten ? RecordOfJson(*rewritten) : std::nullopt;
}

Status HistoryJournal::append(const HistoryRecord& record) const {
    const QByteArray native = QFile::encodeName(path_);
    const bool existed = QFileInfo::exists(path_);
    const UniqueFd fd(::open(native.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
    if (fd.get() < 0)
        return SystemError(errno, QStringLiteral("cannot open %1").arg(path_));
    // Waits for a replay to end: it empties the file once it is done.
    if (lockOf(fd.get(), LOCK_EX) != 0)
        return SystemError(errno, QStringLiteral("cannot lock %1").arg(path_));
    struct stat before {};
    if (::fstat(fd.get(), &before) != 0)
        return SystemError(errno, QStringLiteral("cannot read the size of %1").arg(path_));
    QByteArray line = lineOf(record) + '\n';
    // A tail left without its line break (a crash mid-write) ends here, so that this record is
    // a line of its own and only the damaged one is set aside.
    char last = '\n';
    if (before.st_size > 0 && ::pread(fd.get(), &last, 1, before.st_size - 1) == 1 && last != '\n')
        line.prepend('\n');
    // A record is whole or absent: a failed write (a full disk) is cut back, never left as a
    // piece the next record would be glued to.
    const auto cutBack = [&](Error e) {
        (void)::ftruncate(fd.get(), before.st_size);
        return e;
    };
    if (Status written = writeAll(fd.get(), line); !written)
        return cutBack(WithContext(written.error(), path_));
    if (::fsync(fd.get()) != 0)
        return cutBack(SystemError(errno, QStringLiteral("cannot sync %1").arg(path_)));
    // A new file's name is only kept once its folder is synced too.
    return existed ? Status{} : syncFolderOf(path_);
}

Result<qint64> HistoryJournal::replay(
    const Limits& limits,
    const std::function<Status(const std::vector<HistoryRecord>&)>& commit) const {
    const UniqueFd fd(::open(QFile::encodeName(path_).constData(), O_RDWR | O_CLOEXEC));
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
