#pragma once
// The picture a medium shows for a slider position while the user drags the
// slider: made on the medium's seek worker, handed to the window thread, and
// owned by whoever holds it (unlike the media file's frame buffers, which
// the next frame request overwrites).

#include "media/av_file.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

struct TPreviewPicture {
    int32_t Frame = -1; // the medium's frame the picture shows
    int32_t Width = 0;
    int32_t Height = 0;
    // 4 bytes per pixel (blue, green, red, unused), rows top to bottom,
    // stride Width x 4.
    std::vector<uint8_t> Pixels;
};

// A picture near `frame` that costs little: where the file offers it
// (TFastFrameAccess), the key frame at or before frame, decoded alone and
// converted straight to width x height; otherwise frame itself at the
// video's size. width or height 0 asks for the video's size. Nothing when
// isOvertaken answers true at one of the steps (the work is no longer
// wanted). Media errors pass to the caller. Uses the file: call it from the
// thread that has the file at the time.
std::optional<TPreviewPicture> RenderPreviewPicture(TAVFile& file, int32_t frame, int32_t width,
                                                    int32_t height, const std::function<bool()>& isOvertaken);
