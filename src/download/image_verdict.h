#pragma once

#include "base/bytes.h"
#include "base/error.h"
#include "download/download_job.h"
#include "download/download_result.h"
#include "download/loaded_image.h"

#include <QString>

#include <optional>

namespace posflash {

class Faces;

// Why an image is not fit to send: the cause, and the text in the face in force.
// The size and SHA-256 are those of the image as loaded, for the history; -1 and empty when it
// could not be read.
struct ImageRefusal {
    Cause cause = Cause::None;
    QString text;
    qint64 bytes = -1;
    QByteArray sha256;
};

// Image bytes per data frame for a download of kind.
int FrameDataSizeOf(ImageKind kind);

// The judgement of an image loaded (or not) from path for a download of kind: nothing when it
// may be sent.
std::optional<ImageRefusal> JudgeImage(const Faces& faces, const Result<SharedImage>& image,
                                       const QString& path, ImageKind kind);

} // namespace posflash
