#pragma once

#include "base/error.h"

#include <QByteArray>
#include <QString>

namespace posflash {

// The image a shift loads, read once: what the operator checks against the work order, and the
// hash every unit's bytes are held to.
struct ShiftImage {
    QString fileName;
    qint64 bytes = 0;
    QByteArray sha256; // 32 bytes
};

// The image under the download's own rules: a FIFO, a device or a file too large for a
// download is refused before it is read. Reads the whole file: run it off the window's thread.
Result<ShiftImage> LoadShiftImage(const QString& path, bool font);

// "fw.bin · 262,144 bytes · SHA-256 3f2a9c0b1d4e"
QString SummaryLine(const ShiftImage& image);

} // namespace posflash
