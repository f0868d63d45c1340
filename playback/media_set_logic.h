#pragma once
// The media set's rules that need no window: menu captions, the integer
// entry of the number dialog and the auto-ordering of the video windows.

#include <QString>

#include <cstdint>
#include <vector>

// "<file> - none" without a camera (camera < 0), else "<file> - Camera <n>".
QString CameraMenuCaption(const QString& fileName, int32_t camera);
// "<file> - none" for offset 0, else "<file> - <offset>" (may be negative).
QString OffsetMenuCaption(const QString& fileName, int32_t offsetMs);

// Reads a signed 32-bit decimal integer: an optional sign and digits, with
// surrounding blanks allowed. False (value untouched) for anything else,
// including numbers outside the 32-bit range.
bool ParseInteger(const QString& text, int32_t& value);

// One visible video window for the auto-ordering, in screen pixels.
struct TReorderWindow {
    int32_t Index; // position in the media set
    int32_t Left;
    int32_t Width;
    int32_t Height;
};

struct TReorderPlan {
    // The windows in their new order; each goes to (NewLeft, 0).
    struct TPlacement {
        int32_t Index;
        int32_t NewLeft;
    };
    std::vector<TPlacement> Placements;
    // Where the row ends: the next window to the right starts at NextLeft,
    // the next one below at Bottom.
    int32_t NextLeft = 0;
    int32_t Bottom = 0;
};

// Orders the windows by their left edge with the exchange sort users know
// (equal edges are not exchanged with each other, yet the sort is not
// stable overall) and lays them out in a row along the top of the screen.
TReorderPlan PlanReorder(std::vector<TReorderWindow> windows);
