#include "line/image_summary.h"

#include "download/image_verdict.h"
#include "protocol/image_file.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

namespace posflash {

Result<ShiftImage> LoadShiftImage(const QString& path, bool font) {
    const Result<Bytes> image = LoadImageFile(
        path, MaxImageBytes(FrameDataSizeOf(font ? ImageKind::Font : ImageKind::Program)));
    if (!image.ok()) {
        Error e = image.error();
        e.text = QCoreApplication::translate("LineSettings", "The image cannot be used: %1.")
                     .arg(e.text);
        return e;
    }
    return ShiftImage{QFileInfo(path).fileName(), static_cast<qint64>(image->size()),
                      ImageSha256(*image)};
}

QString SummaryLine(const ShiftImage& s) {
    return QCoreApplication::translate("LineSettings", "%1 · %2 bytes · SHA-256 %3")
        .arg(s.fileName, QLocale(QLocale::English).toString(s.bytes),
             QString::fromLatin1(s.sha256.toHex().left(12)));
}

} // namespace posflash
