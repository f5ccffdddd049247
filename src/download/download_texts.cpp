#include "download/download_texts.h"

#include "base/faces.h"
#include "protocol/frames.h"
#include "protocol/image_file.h"

#include <QtGlobal>

namespace posflash::texts {

namespace {
constexpr char kContext[] = "Download";
constexpr auto t = TextIn<kContext>;
} // namespace

QString downloadBegins(const Faces& f) {
    return t(f, QT_TRANSLATE_NOOP("Download", "Downloading..."));
}

QString establishingConnection(const Faces& f) {
    return t(f, QT_TRANSLATE_NOOP("Download", "Establishing connection..."));
}

QString linkFailed(const Faces& f) {
    return t(f, QT_TRANSLATE_NOOP("Download", "Failed to download, please check!"));
}

QString readyForDownload(const Faces& f) {
    return t(f, QT_TRANSLATE_NOOP("Download", "Ready for download, please wait..."));
}

QString downloadingFrame(const Faces& f, int i, int n, const QString& s) {
    return t(f, QT_TRANSLATE_NOOP("Download",
                                  "Downloading NO.%1 ,Total: %2, Time consuming %3 Seconds"))
        .arg(i)
        .arg(n)
        .arg(s);
}

QString completing(const Faces& f) {
    return t(f, QT_TRANSLATE_NOOP("Download", "The operation is completed, please wait..."));
}

QString completedAfter(const Faces& f, const QString& seconds) {
    return t(f, QT_TRANSLATE_NOOP("Download", "Time consuming: %1 Seconds, Complete!"))
        .arg(seconds);
}

QString downloadComplete(const Faces& f) {
    return t(f, QT_TRANSLATE_NOOP("Download", "The download is complete"));
}

QString downloadFailed(const Faces& f) {
    return t(f, QT_TRANSLATE_NOOP("Download", "Download failed!"));
}

QString fileOpenError(const Faces& f) {
    return t(f, QT_TRANSLATE_NOOP("Download", "Error opening the file, please try again!"));
}

QString imageEmpty(const Faces& f) {
    return t(f, QT_TRANSLATE_NOOP("Download", "The file is empty: there is nothing to download."));
}

QString imageTooLarge(const Faces& f) {
    return t(f, QT_TRANSLATE_NOOP("Download",
                                  "The file is too large: the printer accepts at most 32767 "
                                  "frames."));
}

QString imageUnreadable(const Faces& f, const QString& path) {
    return t(f, QT_TRANSLATE_NOOP("Download", "Cannot read the file %1.")).arg(path);
}

QString imageRefusal(const Faces& f, const Result<SharedImage>& image, const QString& path,
                     bool font, int frameDataSize) {
    if (!image)
        return image.error().is(ErrorDomain::Image, image_error::kTooLarge)
                   ? imageTooLarge(f)
                   : imageUnreadable(f, path);
    const Bytes& bytes = (*image)->bytes;
    switch (CheckImageFrameable(bytes.size(), frameDataSize)) {
    case ImageProblem::Empty:
        return imageEmpty(f);
    case ImageProblem::TooManyFrames:
        return imageTooLarge(f);
    case ImageProblem::None:
        break;
    }
    // A font file has no required form; a program carries its sum in its last four bytes.
    if (!font && !CheckBinImageValid(bytes))
        return fileOpenError(f);
    return {};
}

} // namespace posflash::texts

namespace posflash {

QString ElapsedSeconds(int tenths) {
    const int whole = tenths / 10;
    const int fraction = tenths % 10;
    if (fraction == 0)
        return QString::number(whole);
    return QStringLiteral("%1.%2").arg(whole).arg(fraction < 0 ? -fraction : fraction);
}

} // namespace posflash
