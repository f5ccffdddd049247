#include "download/image_verdict.h"

#include "download/download_texts.h"
#include "protocol/frames.h"
#include "protocol/image_file.h"

namespace posflash {

int FrameDataSizeOf(ImageKind kind) {
    return kind == ImageKind::Font ? kFontFrameDataSize : kProgramFrameDataSize;
}

std::optional<ImageRefusal> JudgeImage(const Faces& faces, const LoadedImage& image,
                                       const QString& path, ImageKind kind) {
    const int frameDataSize = FrameDataSizeOf(kind);
    const QString text =
        texts::imageRefusal(faces, image, path, kind == ImageKind::Font, frameDataSize);
    if (text.isEmpty())
        return std::nullopt;
    Cause cause = Cause::BadTrailer;
    if (image.error == ImageLoadError::TooLarge)
        cause = Cause::TooLarge;
    else if (!image.ok())
        cause = Cause::FileNotOpen;
    else if (const ImageProblem problem = CheckImageFrameable(image.bytes.size(), frameDataSize);
             problem == ImageProblem::Empty)
        cause = Cause::EmptyImage;
    else if (problem == ImageProblem::TooManyFrames)
        cause = Cause::TooLarge;
    return ImageRefusal{cause, text};
}

std::optional<ImageRefusal> JudgeImageFile(const Faces& faces, const QString& path,
                                           ImageKind kind) {
    return JudgeImage(faces, LoadImageFile(path, MaxImageBytes(FrameDataSizeOf(kind))), path, kind);
}

} // namespace posflash
