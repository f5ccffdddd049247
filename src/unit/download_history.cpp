#include "unit/download_history.h"

#include "base/faces.h"
#include "history/unit_yield.h"
#include "unit/cause_texts.h"

#include <QDir>
#include <QFile>

#include <climits>
#include <cstdlib>

namespace posflash {

namespace {

QString reasonIn(const DownloadResult& result, bool english) {
    if (result.cause == Cause::None)
        return {};
    Faces faces;
    faces.setUseEnglish(english);
    QString text = CauseTexts(faces).cause(result.cause, result.step, result.frame, result.attempts,
                                           result.linkTimeoutMs);
    if (!result.error.detail.isEmpty())
        text += QStringLiteral(" (") + result.error.detail + QLatin1Char(')');
    return text;
}

} // namespace

QByteArray CanonicalImagePath(const QByteArray& name) {
    if (name.isEmpty())
        return {};
    if (char* resolved = ::realpath(name.constData(), nullptr)) {
        const QByteArray path(resolved);
        std::free(resolved);
        return path;
    }
    if (name.startsWith('/'))
        return name;
    return QFile::encodeName(QDir::currentPath()) + '/' + name;
}

HistoryRecord RecordOf(const DownloadResult& result, const QString& frontEnd,
                       const UnitStamp& unit) {
    HistoryRecord record;
    record.startedAt = result.startedAt;
    record.milliseconds = result.elapsedMs;
    record.frontEnd = frontEnd;
    record.printer = result.printer;
    // The name as given, not the /proc/self/fd/N that stood in for it during the download.
    record.filePath = CanonicalImagePath(
        result.imageName.isEmpty() ? QFile::encodeName(result.imagePath) : result.imageName);
    record.fileSize = result.bytes;
    record.sha256 = result.sha256;
    record.kind = result.font ? QStringLiteral("font") : QStringLiteral("program");
    record.crc16 = result.crc16;
    record.frames = result.frames;
    record.retries = result.retries;
    record.outcome = OutcomeName(result.outcome);
    record.cause = result.cause == Cause::None ? QString() : CauseName(result.cause);
    record.reasonEn = reasonIn(result, true);
    record.reasonZh = reasonIn(result, false);
    static_cast<UnitStamp&>(record) = unit;
    return record;
}

bool ReachedPrinter(const DownloadResult& result) {
    HistoryRecord record;
    record.outcome = OutcomeName(result.outcome);
    record.cause = result.cause == Cause::None ? QString() : CauseName(result.cause);
    record.crc16 = result.crc16;
    return ReachedPrinter(record);
}

bool IsRecorded(const DownloadResult& result) {
    return result.cause != Cause::Busy;
}

DownloadHistory::DownloadHistory(QString frontEnd, QString filePath, HistoryStore::Options options)
    : frontEnd_(std::move(frontEnd)), writer_(std::move(filePath), std::move(options)) {
    writer_.replayJournal();
}

DownloadHistory::~DownloadHistory() {
    writer_.finish();
}

void DownloadHistory::record(const DownloadResult& result, const UnitStamp& unit) {
    if (IsRecorded(result) && !(held_ && held_(result, unit)))
        writer_.write(RecordOf(result, frontEnd_, unit));
}

} // namespace posflash
