#pragma once
// The graph window's picture without the window: the Value of the events of
// one type over the last stretch of time, as up to eight coloured curves.
//
// Threads: the UI thread.

#include "model/project.h"

#include <QImage>
#include <QRgb>

#include <array>
#include <cstdint>

// The curve colours, chosen by an event's Color parameter (0xRRGGBB).
inline constexpr std::array<QRgb, 8> GraphColors = {0x000000, 0xFF0000, 0x0000FF, 0x008000,
                                                    0x000080, 0x800080, 0xC0C0C0, 0x00FF00};

struct TGraphClock {
    int32_t CurrentTime = 0;   // project time unit
    int32_t FramePeriodMs = 1; // the position slider's page size
};

// Fills picture white, then walks back from `cursor` (-1 none) over the
// events of type graphType whose time lies at most W x frame period before
// the current time (W the picture's width; an older event ends the walk,
// events of other types are passed over). An event d time units old sits at
// x = trunc(W - W d / span), its Value v (0 when missing) at y = H -
// trunc(v H); its Color (an integer, 0 when missing, outside 0-7 taken as 0)
// picks the curve. A point is joined to the previous point of its curve
// when that one lies less than 2 pixels to its right; the first point of a
// curve is not drawn. A joined segment spans at most two columns and is
// drawn as two vertical runs meeting half way; segments are drawn in the
// walk's order, so where curves cross the older event's colour shows.
// Throws TConvertError when Value or Color is not a number; the picture then
// keeps what was drawn so far.
class TGraphPainter {
public:
    // picture: RGB32 (another format is converted first).
    void Draw(QImage& picture, const TProject& project, int32_t graphType, int32_t cursor,
              const TGraphClock& clock);
};
