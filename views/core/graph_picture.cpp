#include "views/core/graph_picture.h"

#include "base/exception.h"
#include "views/core/overlay_shapes.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

int32_t ReadColor(const TParameters& parameters) {
    const TParameter* pair = parameters.FindParameter(QStringLiteral("Color"));
    if (!pair)
        return 0;
    bool isNumber = false;
    const int32_t color = QStringView(pair->Value).trimmed().toInt(&isNumber);
    if (!isNumber)
        throw TConvertError("'" + pair->Value.toStdString() + "' is not a valid number!");
    return color >= 0 && color < static_cast<int32_t>(GraphColors.size()) ? color : 0;
}

// Far beyond the picture a value still draws a sensible line towards it,
// without overflowing the painter's coordinates.
int32_t SurfaceY(double y) {
    constexpr int32_t Limit = 1 << 24;
    return std::clamp(VideoOverlay::TruncToInt(y), -Limit, Limit);
}

double ReadValue(const TParameters& parameters) {
    float value = 0;
    parameters.GetFloatParameter(QStringLiteral("Value"), value);
    return value;
}

} // namespace

namespace {

// Rows yFrom to yTo (either order, both included) of column x, clipped to
// the picture.
void FillColumn(QImage& picture, int32_t x, int32_t yFrom, int32_t yTo, QRgb colour) {
    if (x < 0 || x >= picture.width())
        return;
    const int32_t top = std::max(std::min(yFrom, yTo), 0);
    const int32_t bottom = std::min(std::max(yFrom, yTo), picture.height() - 1);
    for (int32_t y = top; y <= bottom; ++y)
        reinterpret_cast<QRgb*>(picture.scanLine(y))[x] = colour;
}

// A joined segment is at most one pixel wide (the rule joins only points
// less than 2 pixels apart), so it is two vertical runs meeting half way:
// the newer point's column takes its half, the older point's the other.
void DrawSegment(QImage& picture, QPoint newer, QPoint older, QRgb colour) {
    if (newer.x() == older.x()) {
        FillColumn(picture, newer.x(), newer.y(), older.y(), colour);
        return;
    }
    const int32_t low = std::min(newer.y(), older.y());
    const int32_t high = std::max(newer.y(), older.y());
    const int32_t middle = static_cast<int32_t>((int64_t{low} + high) >> 1);
    const bool isNewerLow = newer.y() <= older.y();
    FillColumn(picture, newer.x(), newer.y(), isNewerLow ? middle : std::min(middle + 1, high), colour);
    FillColumn(picture, older.x(), older.y(), isNewerLow ? std::min(middle + 1, high) : middle, colour);
}

} // namespace

void TGraphPainter::Draw(QImage& picture, const TProject& project, int32_t graphType, int32_t cursor,
                         const TGraphClock& clock) {
    if (picture.format() != QImage::Format_RGB32)
        picture = picture.convertToFormat(QImage::Format_RGB32);
    picture.fill(Qt::white);
    const TEvents& events = project.Events();
    if (cursor < 0 || static_cast<std::size_t>(cursor) >= events.Count() || picture.isNull())
        return;
    const int64_t width = picture.width();
    const int64_t height = picture.height();
    const int64_t span = width * clock.FramePeriodMs;
    if (span <= 0)
        return;
    std::array<std::optional<QPoint>, GraphColors.size()> last;
    for (int32_t i = cursor; i >= 0; --i) {
        const TEvent& event = *events[static_cast<std::size_t>(i)];
        const int64_t age = int64_t{clock.CurrentTime} - event.Time;
        if (age > span)
            break;
        if (event.EventType != graphType)
            continue;
        const int32_t x =
            VideoOverlay::TruncToInt(double(width) - double(width) * double(age) / double(span));
        const int32_t y = SurfaceY(double(height) - std::trunc(ReadValue(event.Parameters) * double(height)));
        const auto color = static_cast<std::size_t>(ReadColor(event.Parameters));
        std::optional<QPoint>& previous = last[color];
        if (previous && int64_t{previous->x()} - x < 2)
            DrawSegment(picture, *previous, QPoint(x, y), 0xff000000u | GraphColors[color]);
        previous = QPoint(x, y);
    }
}
