#include "download/image_verdict.h"

#include "download/download_texts.h"
#include "download/error_causes.h"
#include "protocol/frames.h"
#include "protocol/image_file.h"

namespace posflash {

int FrameDataSizeOf(ImageKind kind) {
    return kind == ImageKind::Font ? kFontFrameDataSize : kProgramFrameDataSize;
}

std::optional<ImageRefusal> JudgeImage(const Faces& faces, const Result<SharedImage>& image,
                                       const QString& path, ImageKind kind) {
    const int frameDataSize = FrameDataSizeOf(kind);
    const QString text =
        texts::imageRefusal(faces, image, path, kind == ImageKind::Font, frameDataSize);
    if (text.isEmpty())
        return std::nullopt;
    Cause cause = Cause::BadTrailer;
    if (!image)
        cause = CauseOfError(image.error());
    else if (const ImageProblem problem =
                 CheckImageFrameable((*image)->bytes.size(), frameDataSize);
             problem == ImageProblem::Empty)
        cause = Cause::EmptyImage;
    else if (problem == ImageProblem::TooManyFrames)
        cause = Cause::TooLarge;
    if (!image.ok())
        return ImageRefusal{cause, text, -1, {}};
    return ImageRefusal{cause, text, static_cast<qint64>((*image)->bytes.size()), (*image)->sha256};
}

} // namespace posflash
