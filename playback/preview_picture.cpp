#include "playback/preview_picture.h"

#include "media/fast_frame_access.h"

#include <cstring>

std::optional<TPreviewPicture> RenderPreviewPicture(TAVFile& file, int32_t frame, int32_t width,
                                                    int32_t height,
                                                    const std::function<bool()>& isOvertaken) {
    if (isOvertaken())
        return std::nullopt;
    auto* fast = dynamic_cast<TFastFrameAccess*>(&file);
    int32_t shown = frame;
    if (fast != nullptr) {
        shown = fast->SeekKeyFrame(frame);
        // The conversion and the copy are what is left; a newer position
        // needs a different key frame.
        if (isOvertaken())
            return std::nullopt;
    }
    const TAVFile::TVideoFormat format = file.GetVideoFormat();
    const bool isFullSize = width <= 0 || height <= 0 || (width == format.Width && height == format.Height);
    TPreviewPicture picture;
    picture.Frame = shown;
    picture.Width = isFullSize || fast == nullptr ? format.Width : width;
    picture.Height = isFullSize || fast == nullptr ? format.Height : height;
    const uint8_t* pixels = picture.Width == format.Width && picture.Height == format.Height
                                ? file.GetFrameAt(shown)
                                : fast->GetScaledFrameAt(shown, picture.Width, picture.Height);
    if (pixels == nullptr || isOvertaken())
        return std::nullopt;
    // Copied: the file's block belongs to the worker, which may already
    // decode the next position into it while the window paints this one.
    picture.Pixels.resize(static_cast<size_t>(picture.Width) * 4 * static_cast<size_t>(picture.Height));
    std::memcpy(picture.Pixels.data(), pixels, picture.Pixels.size());
    return picture;
}
