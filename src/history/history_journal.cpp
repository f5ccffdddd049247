#include "history/history_journal.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

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
    const QJsonObject o = doc.object();
    if (error.error != QJsonParseError::NoError || o["uuid"].toString().isEmpty())
        return std::nullopt;
    HistoryRecord r;
    r.uuid = o["uuid"].toString();
    r.startedAt = QDateTime::fromString(o["started"].toString(), Qt::ISODateWithMs);
    r.milliseconds = o["ms"].toInteger();
    r.frontEnd = o["front_end"].toString();
    r.comNumber = o["com"].toInt();
    r.deviceNode = o["device"].toString();
    r.usbPath = o["usb_path"].toString();
    r.usbSerial = o["usb_serial"].toString();
    r.ip = o["ip"].toString();
    r.mac = o["mac"].toString();
    r.filePath = QByteArray::fromBase64(o["path_base64"].toString().toLatin1());
    r.fileSize = o["size"].toInteger(-1);
    r.sha256 = QByteArray::fromHex(o["sha256"].toString().toLatin1());
    r.kind = o["kind"].toString();
    r.crc16 = o["crc16"].toInt(-1);
    r.frames = o["frames"].toInt();
    r.retries = o["retries"].toInt();
    r.outcome = o["outcome"].toString();
    r.cause = o["cause"].toString();
    r.reasonEn = o["reason_en"].toString();
    r.reasonZh = o["reason_zh"].toString();
    r.operatorName = o["operator"].toString();
    r.station = o["station"].toString();
    r.label = o["label"].toString();
    r.unit = o["unit"].toString();
    r.attempt = o["attempt"].toInt();
    r.shift = o["shift"].toString(); // absent in lines of earlier releases
    return r;
}

Status HistoryJournal::append(const HistoryRecord& record) {
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
    if (!existed) {
        // A new file's name is only kept once its folder is synced too.
        const Fd folder(::open(QFile::encodeName(QFileInfo(path_).absolutePath()).constData(),
                               O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.get() < 0 || ::fsync(folder.get()) != 0)
            return SystemError(errno, QStringLiteral("cannot sync the folder of %1").arg(path_));
    }
    return {};
}

Status
HistoryJournal::replay(int batchRows,
                       const std::function<Status(const std::vector<HistoryRecord>&)>& commit) {
    const Fd fd(::open(QFile::encodeName(path_).constData(), O_RDWR | O_CLOEXEC));
    if (fd.get() < 0)
        return errno == ENOENT ? Status{}
                               : SystemError(errno, QStringLiteral("cannot open %1").arg(path_));
    if (lockOf(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK
                   ? Status{}
                   : SystemError(errno, QStringLiteral("cannot lock %1").arg(path_));
    QByteArray content;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return SystemError(errno, QStringLiteral("cannot read %1").arg(path_));
        if (n == 0)
            break;
        content.append(buffer, n);
    }
    if (content.isEmpty())
        return {};
    std::vector<HistoryRecord> batch;
    for (const QByteArray& line : content.split('\n')) {
        // A line cut off by a crash was never a kept write.
        if (auto record = recordOf(line))
            batch.push_back(std::move(*record));
        if (static_cast<int>(batch.size()) >= std::max(batchRows, 1)) {
            if (Status committed = commit(batch); !committed)
                return committed;
            batch.clear();
        }
    }
    if (!batch.empty())
        if (Status committed = commit(batch); !committed)
            return committed;
    if (::ftruncate(fd.get(), 0) != 0 || ::fsync(fd.get()) != 0)
        return SystemError(errno, QStringLiteral("cannot empty %1").arg(path_));
    return {};
}

} // namespace posflash
