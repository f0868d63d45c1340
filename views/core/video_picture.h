#pragma once
// What a video window puts on its drawing surface, apart from the window:
// the size of the picture at each zoom level, the frame wrapped for drawing,
// the composition of frame, overlays, drag preview and caption, and saving
// a picture.
//
// Threads: the UI thread (QPainter, QFont).

#include "views/core/overlay_shapes.h"

#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

using TOverlayList = std::vector<std::unique_ptr<VideoOverlay::TDrawable>>;

// Zoom levels: 0 quarter, 1 half, 2 normal, 3 double size.
inline constexpr int32_t ZoomQuarter = 0;
inline constexpr int32_t ZoomHalf = 1;
inline constexpr int32_t ZoomNormal = 2;
inline constexpr int32_t ZoomDouble = 3;

int32_t ClampZoomLevel(int32_t level);
// Picture-area size for a (clamped) level: the video size divided by 4 or 2
// (integer division), kept or doubled; 160 x 0 without video.
QSize ZoomPictureSize(int32_t level, bool hasVideo, int32_t videoWidth, int32_t videoHeight);
// A zoomed picture grown, keeping its aspect (rounded to whole pixels), until
// it is at least `minimum` both ways: a window's minimum size must not
// stretch the picture. An empty picture or one already large enough is
// returned as it is.
QSize GrowKeepingAspect(QSize picture, QSize minimum);

// A QImage over a top-down frame buffer of 4 bytes per pixel (blue, green,
// red, unused), without copying. It only reads the block, which must outlive
// it. Null for a missing frame or an empty size.
QImage WrapFrame(const uint8_t* frame, int32_t width, int32_t height);

// Where the caption's text goes on a surface of surfaceWidth x
// surfaceHeight: word-wrapped and centred in a band from 10 to
// surfaceWidth - 10, ending 10 pixels above the bottom edge. Measured at the
// band's own width, so a line that wraps there is not cut off.
QRect CaptionRect(const QFontMetrics& metrics, const QString& text, int32_t surfaceWidth,
                  int32_t surfaceHeight);
// White text with a black outline in CaptionRect.
void DrawCaption(QPainter& surface, const QString& text, int32_t surfaceWidth, int32_t surfaceHeight);

struct TPictureContent {
    QImage Frame;       // null: no frame drawn (the surface keeps what it has)
    int32_t VideoWidth; // the video's own size, for the overlay scale
    int32_t VideoHeight;
    const TOverlayList* Overlays = nullptr;
    const VideoOverlay::TRectangle* Preview = nullptr;
    QString Caption;
};

// The frame stretched onto the whole surface without smoothing (pixels are
// dropped or repeated), then the overlays in list order scaled by surface /
// video size, the drag preview, and the caption.
void ComposePicture(QPainter& surface, QSize surfaceSize, const TPictureContent& content);

// Writes picture to path as an uncompressed 24-bit BMP file. False when the
// file could not be written.
bool SaveBitmap24(const QImage& picture, const QString& path);
