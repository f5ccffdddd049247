#include "line/image_summary.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

namespace posflash {

Result<SharedImage> LoadShiftImage(const QString& path, bool font) {
    Result<SharedImage> image = LoadImage(path, ImageKindOf(font));
    if (!image.ok()) {
        Error e = image.error();
        e.text = QCoreApplication::translate("LineSettings", "The image cannot be used: %1.")
                     .arg(e.text);
        return e;
    }
    return image;
}

QString SummaryLine(const LoadedImage& s) {
    return QCoreApplication::translate("LineSettings", "%1 · %2 bytes · SHA-256 %3")
        .arg(QFileInfo(s.path).fileName(),
             QLocale(QLocale::English).toString(static_cast<qint64>(s.bytes.size())),
             QString::fromLatin1(s.sha256.toHex().left(12)));
}

} // namespace posflash
