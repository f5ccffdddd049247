#include "fleet/download_record.h"

namespace posflash {

HistoryRecord RecordOf(const DownloadResult& result, const QString& frontEnd) {
    HistoryRecord record;
    record.startedAt = result.startedAt;
    record.milliseconds = result.elapsedMs;
    record.frontEnd = frontEnd;
    record.comNumber = result.printer.comNumber;
    record.deviceNode = result.printer.devicePath;
    record.ip = result.printer.ip;
    record.mac = result.printer.mac;
    record.usbSerial = result.printer.usbSerial;
    record.filePath = result.imagePath;
    record.fileSize = result.bytes;
    record.kind = result.font ? QStringLiteral("font") : QStringLiteral("program");
    record.crc16 = result.crc16;
    record.frames = result.frames;
    record.retries = result.retries;
    record.result = OutcomeName(result.outcome);
    // The history has no column of its own for the cause yet: the stable code is the reason.
    record.reason = result.cause == Cause::None ? QString() : CauseName(result.cause);
    return record;
}

bool IsRecorded(const DownloadResult& result) {
    return result.cause != Cause::Busy;
}

DownloadHistory::DownloadHistory(QString frontEnd, QString filePath)
    : frontEnd_(std::move(frontEnd)), store_(std::move(filePath)) {}

Status DownloadHistory::record(const DownloadResult& result) {
    if (!IsRecorded(result))
        return {};
    return store_.add(RecordOf(result, frontEnd_));
}

} // namespace posflash
