#include "views/core/graph_picture.h"

#include "base/exception.h"
#include "views/core/overlay_shapes.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

int32_t ReadColor(const TParameters& parameters) {
    const TParameter* pair = parameters.FindParameter(QStringLiteral("Color"));
    if (!pair)
        return 0;
    bool isNumber = false;
    const int32_t color = pair->Value.trimmed().toInt(&isNumber);
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

void TGraphPainter::Flush(QPainter& painter) {
    if (m_run.empty())
        return;
    painter.setPen(QPen(QColor::fromRgb(GraphColors[static_cast<std::size_t>(m_runColor)]), 1, Qt::SolidLine,
                        Qt::SquareCap));
    painter.drawLines(m_run.data(), static_cast<int>(m_run.size()));
    m_run.clear();
}

void TGraphPainter::Draw(QImage& picture, const TProject& project, int32_t graphType, int32_t cursor,
                         const TGraphClock& clock) {
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
    QPainter painter(&picture);
    m_run.clear();
    m_runColor = -1;
    try {
        for (int32_t i = cursor; i >= 0; --i) {
            const TEvent& event = *events[static_cast<std::size_t>(i)];
            const int64_t age = int64_t{clock.CurrentTime} - event.Time;
            if (age > span)
                break;
            if (event.EventType != graphType)
                continue;
            const int32_t x = VideoOverlay::TruncToInt(double(width) - double(width) * double(age) / double(span));
            const int32_t y = SurfaceY(double(height) - std::trunc(ReadValue(event.Parameters) * double(height)));
            const int32_t color = ReadColor(event.Parameters);
            std::optional<QPoint>& previous = last[static_cast<std::size_t>(color)];
            if (previous && int64_t{previous->x()} - x < 2) {
                if (color != m_runColor)
                    Flush(painter);
                m_runColor = color;
                m_run.emplace_back(*previous, QPoint(x, y));
            }
            previous = QPoint(x, y);
        }
    } catch (const TConvertError&) {
        Flush(painter);
        throw;
    }
    Flush(painter);
}
