#pragma once
// The output window's picture without the window: which camera the newest
// "Output" event names, and the copy of that camera's composed picture,
// zoomed as the event asks.
//
// Threads: the UI thread.

#include "model/project.h"

#include <QImage>
#include <QRectF>
#include <QSize>

#include <cstdint>
#include <functional>
#include <optional>

struct TOutputChoice {
    int32_t Window = -1; // index into the media list
    int32_t Camera = -1;
    double ZoomRatio = 1;
    int32_t ZoomCenterX = 0; // in the window's composed picture
    int32_t ZoomCenterY = 0;
};

// The media-list index of the first window that is open for reading, has
// video and carries `camera`, or -1.
using TCameraWindowFinder = std::function<int32_t(int32_t camera)>;

// Walks back from `cursor` (-1 none) to the newest event of the built-in
// "Output" type whose Camera (read as an integer) is at least 0 and names a
// window. ZoomRatio defaults to 1, the zoom centre to the middle of
// normalSize. None without such an event or without the type (which is not
// created here). Throws TConvertError when Camera, ZoomRatio, ZoomCenterX or
// ZoomCenterY is not a number.
std::optional<TOutputChoice> ChooseOutput(const TProject& project, int32_t cursor, QSize normalSize,
                                          const TCameraWindowFinder& windowFor);

// The part of a picture of pictureSize that a zoom shows: the centre +-
// half the size divided by the ratio, each edge truncated toward zero. It
// may reach outside the picture (a ratio below 1 or a centre near an edge).
// Empty for a ratio that is not above 0.
QRectF ZoomSourceRect(QSize pictureSize, double ratio, int32_t centerX, int32_t centerY);

// Makes output the picture of `source` as the choice shows it: a plain copy
// at ratio 1, else the ZoomSourceRect stretched over a picture of the
// source's size and format with black outside the source. Reuses output's
// storage when it already has that size and format.
void RenderOutputPicture(QImage& output, const QImage& source, const TOutputChoice& choice);

// The frame an export writes for the output picture: frameSize pixels in
// QImage::Format_RGB32 (blue, green, red, 0xFF: the media library's frame
// format). The picture itself when it already is that; else the picture
// scaled to fit with its proportions kept, centred on black; all black for
// a null picture (no camera shown). Reuses frame's storage.
const QImage& FitOutputFrame(const QImage& picture, QSize frameSize, QImage& frame);
