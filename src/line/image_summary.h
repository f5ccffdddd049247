#pragma once

#include "base/error.h"

#include <QString>

namespace posflash {

// The image a shift loads, as the operator checks it against the work order.
struct ImageSummary {
    QString fileName;
    qint64 bytes = 0;
    QString sha256Prefix; // the first 12 hex digits of its SHA-256
};

Result<ImageSummary> SummarizeImage(const QString& path);

// "fw.bin · 262,144 bytes · SHA-256 3f2a9c0b1d4e"
QString SummaryLine(const ImageSummary& summary);

} // namespace posflash
