#pragma once

#include "base/bytes.h"
#include "base/error.h"
#include "download/loaded_image.h"

#include <QString>

namespace posflash {

class Faces;

// The texts of a download, in the face in force.
namespace texts {
QString downloadBegins(const Faces& f);                                   // status panel
QString establishingConnection(const Faces& f);                           // link step begins
QString linkFailed(const Faces& f);                                       // link failed/cancelled
QString readyForDownload(const Faces& f);                                 // link up
QString downloadingFrame(const Faces& f, int i, int n, const QString& s); // before a data frame
QString completing(const Faces& f);                                       // closing frames
QString completedAfter(const Faces& f, const QString& seconds);           // lblStatus at the end
QString downloadComplete(const Faces& f);                                 // status panel at the end
QString downloadFailed(const Faces& f);                                   // a frame never accepted
QString fileOpenError(const Faces& f);                                    // bad program file
QString imageEmpty(const Faces& f);
QString imageTooLarge(const Faces& f);
QString imageUnreadable(const Faces& f, const QString& path);
// Why an image read from path cannot be sent as a program (or, with font, a font) in frames of
// frameDataSize bytes; empty when it can.
QString imageRefusal(const Faces& f, const Result<SharedImage>& image, const QString& path,
                     bool font, int frameDataSize);

// Texts that exist in one language only.
inline QString fileNotOpen() {
    return QStringLiteral("File not open!");
}
inline QString linkWaiting(const QString& seconds) {
    return QStringLiteral("正在建立连接..., ") + seconds + QStringLiteral("秒");
}
inline QString statusAfterCancel() {
    return QStringLiteral("idel");
}
inline QString cancelledPanel() {
    return QStringLiteral("停止下载");
}
} // namespace texts

// Tenths of a second as seconds in the shortest form: 12.3, 5, 0.5.
QString ElapsedSeconds(int tenths);

} // namespace posflash
