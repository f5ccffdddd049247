#include "download/refused_download.h"

namespace posflash {

DownloadResult RefusedDownload(const DownloadJob& job, Cause cause) {
    DownloadResult result;
    result.outcome = Outcome::Refused;
    result.cause = cause;
    result.startedAt = QDateTime::currentDateTime();
    result.imagePath = job.imagePath;
    result.imageName = job.imageName;
    result.font = job.kind == ImageKind::Font;
    result.printer = job.printer;
    return result;
}

} // namespace posflash
