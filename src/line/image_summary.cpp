#include "line/image_summary.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace posflash {

namespace {

Error imageError(int code, QString text, QString detail = {}) {
    return {code, std::move(text), std::move(detail), ErrorDomain::Image};
}

} // namespace

Result<ImageSummary> SummarizeImage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return imageError(1,
                          QCoreApplication::translate("LineSettings", "Cannot read %1.").arg(path),
                          file.errorString());
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return imageError(1,
                          QCoreApplication::translate("LineSettings", "Cannot read %1.").arg(path),
                          file.errorString());
    return ImageSummary{QFileInfo(path).fileName(), file.size(),
                        QString::fromLatin1(hash.result().toHex().left(12))};
}

QString SummaryLine(const ImageSummary& s) {
    return QCoreApplication::translate("LineSettings", "%1 · %2 bytes · SHA-256 %3")
        .arg(s.fileName, QLocale(QLocale::English).toString(s.bytes), s.sha256Prefix);
}

} // namespace posflash
