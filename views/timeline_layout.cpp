#include "views/timeline_layout.h"

#include "model/group_colors.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstring>

namespace {

bool IsLater(int32_t time, const TEvent* event) {
    return time < event->Time;
}

QColor ToQColor(TColor color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

// Pixel offsets of far-away times, kept within what QPainter's integer
// coordinates can carry; everything that far is off the image anyway.
int32_t Pixel(int64_t offset) {
    return static_cast<int32_t>(std::clamp<int64_t>(offset, -1'000'000, 1'000'000));
}

} // namespace

bool TTimelineRows::IsPlaced(const TEvent& event) const {
    if (!m_project.EventTypes.IsValidIndex(event.EventType))
        return false;
    const TEventType& type = m_project.EventTypes[event.EventType];
    return type.Group >= 0 && type.GroupIndex >= 0;
}

int32_t TTimelineRows::GroupOf(const TEvent& event) const {
    return m_project.EventTypes.IsValidIndex(event.EventType) ? m_project.EventTypes[event.EventType].Group
                                                              : -1;
}

void TTimelineRows::Rebuild() {
    m_rows.clear();
    for (const auto& event : m_project.Events())
        Place(event.get(), true);
}

void TTimelineRows::Add(const TEvent* event) {
    // Editors report a change both through the project and directly; the
    // event must still appear once.
    if (event && !Contains(event))
        Place(event, false);
}

bool TTimelineRows::Contains(const TEvent* event) const {
    for (const TRow& row : m_rows) {
        auto found = std::lower_bound(row.begin(), row.end(), event->Time,
                                      [](const TEvent* item, int32_t time) { return item->Time < time; });
        for (; found != row.end() && (*found)->Time == event->Time; ++found)
            if (*found == event)
                return true;
    }
    return false;
}

void TTimelineRows::Place(const TEvent* event, bool isAppending) {
    if (!IsPlaced(*event))
        return;
    const int32_t group = GroupOf(*event);
    std::size_t candidate = m_rows.size();
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        const TEvent& first = *m_rows[row].front();
        const int32_t rowGroup = GroupOf(first);
        if (rowGroup == group) {
            if (ParametersEqual(first.Parameters, event->Parameters)) {
                TRow& target = m_rows[row];
                if (isAppending)
                    target.push_back(event);
                else
                    target.insert(std::upper_bound(target.begin(), target.end(), event->Time, IsLater),
                                  event);
                return;
            }
            if (ParametersLess(event->Parameters, first.Parameters)) {
                if (candidate == m_rows.size() || GroupOf(*m_rows[candidate].front()) != rowGroup)
                    candidate = row;
            }
        } else if (group < rowGroup && candidate == m_rows.size()) {
            candidate = row;
        }
    }
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(candidate), TRow{event});
}

bool TTimelineRows::Remove(const TEvent* event) {
    if (!event)
        return false;
    for (auto row = m_rows.begin(); row != m_rows.end(); ++row) {
        auto found = std::lower_bound(row->begin(), row->end(), event->Time,
                                      [](const TEvent* item, int32_t time) { return item->Time < time; });
        for (; found != row->end() && (*found)->Time == event->Time; ++found) {
            if (*found != event)
                continue;
            row->erase(found);
            if (row->empty())
                m_rows.erase(row);
            return true;
        }
    }
    return false;
}

int64_t TimelineMsPerPixel(int32_t pixelWidth, int32_t zoomPosition, int32_t zoomMaximum,
                           int32_t positionMaximum) {
    const double zoom = zoomMaximum > 0 ? static_cast<double>(zoomPosition) / zoomMaximum : 1.0;
    const int64_t full = positionMaximum / std::max(pixelWidth, 1);
    return std::max<int64_t>(static_cast<int64_t>(static_cast<double>(full) * zoom + 1), 1);
}

namespace {

class TTimelinePainter {
public:
    TTimelinePainter(QPainter& painter, QSize size, const TTimelineRows& rows, const TProject& project,
                     TTimelineLabelWidths* labelWidths)
        : m_painter(painter), m_width(size.width()), m_height(size.height()), m_rows(rows.Rows()),
          m_project(project), m_labelWidths(labelWidths), m_metrics(painter.font()),
          m_textHeight(m_metrics.height()), m_ascent(m_metrics.ascent()) {}

    TTimelineGeometry Paint(TTimelineView& view, TRecentre recentre) {
        m_painter.fillRect(0, 0, m_width, m_height, Qt::white);
        m_painter.setPen(Qt::black);
        m_geometry.StripHeight = m_textHeight + 1;
        PaintLabels();
        // A label column as wide as the window (or wider) still leaves one
        // pixel of time, so the scale never divides by zero.
        m_span = std::max(m_width - m_geometry.LabelWidth, 1);
        const int64_t msPerPixel =
            TimelineMsPerPixel(m_span, view.ZoomPosition, view.ZoomMaximum, view.PositionMaximum);
        m_geometry.MsPerPixel = msPerPixel;
        if (recentre == TRecentre::Yes) {
            const int64_t centred = view.TimelinePosition - (m_span * msPerPixel) / 2;
            view.Position = static_cast<int32_t>(std::clamp<int64_t>(
                centred, view.PositionMinimum, std::max(view.PositionMinimum, view.PositionMaximum)));
        }
        int64_t left = view.Position;
        int64_t right = left + m_span * msPerPixel;
        if (right > view.PositionMaximum) {
            right = view.PositionMaximum;
            left = std::max<int64_t>(view.PositionMaximum - m_span * msPerPixel, 0);
        }
        m_geometry.Left = left;
        m_geometry.Right = right;
        PaintGrid();
        PaintSeparators();
        for (std::size_t row = 0; row < m_rows.size(); ++row)
            PaintRow(row);
        if (view.TimelinePosition >= left) {
            const int32_t x = Pixel((view.TimelinePosition - left) / msPerPixel) + m_geometry.LabelWidth;
            m_painter.setPen(QColor(0xFF, 0, 0));
            m_painter.drawLine(x, m_geometry.StripHeight, x, m_height);
        }
        return m_geometry;
    }

private:
    // Each row is labelled with its group's name and, one per line, the
    // parameters its events share.
    void PaintLabels() {
        int32_t y = 0;
        int32_t widest = 0;
        for (const TTimelineRows::TRow& row : m_rows) {
            const TEvent& first = *row.front();
            const auto lineCount = static_cast<int32_t>(first.Parameters.Count()) + 1;
            m_geometry.RowTops.push_back(m_geometry.StripHeight + y);
            m_geometry.RowHeights.push_back(lineCount * m_textHeight);
            const bool isShown = m_geometry.StripHeight + y < m_height;
            const auto known = m_labelWidths ? m_labelWidths->find(&first) : TTimelineLabelWidths::iterator{};
            if (!isShown && m_labelWidths && known != m_labelWidths->end()) {
                widest = std::max(widest, known->second);
                y += lineCount * m_textHeight + 4;
                continue;
            }
            const int32_t group = m_project.EventTypes.IsValidIndex(first.EventType)
                                      ? m_project.EventTypes[first.EventType].Group
                                      : -1;
            QStringList lines{m_project.Groups.GroupName(group)};
            for (const TParameter& parameter : first.Parameters)
                lines.append(parameter.Name + u'=' + parameter.Value);
            int32_t rowWidest = 0;
            for (const QString& line : lines) {
                rowWidest = std::max(rowWidest, m_metrics.horizontalAdvance(line));
                const int32_t top = m_geometry.StripHeight + y;
                if (top < m_height)
                    m_painter.drawText(0, top + m_ascent, line);
                y += m_textHeight;
            }
            if (m_labelWidths)
                (*m_labelWidths)[&first] = rowWidest;
            widest = std::max(widest, rowWidest);
            y += 4;
        }
        m_geometry.LabelWidth = widest + 4;
    }

    // Lines every second, ten seconds or minute, whichever leaves at least 5
    // pixels between them; labels that would overlap the previous one are
    // left out.
    void PaintGrid() {
        const int64_t m = m_geometry.MsPerPixel;
        int64_t step = 1000;
        if (1000 / m < 5)
            step = 10000;
        if (step / m < 5)
            step = 60000;
        m_geometry.GridStep = step;
        const int64_t left = m_geometry.Left;
        int64_t lastLabelEnd = -1000000;
        for (int64_t k = 0; (m_geometry.Right - left) / step + 1 >= k; ++k) {
            const int64_t offset = k * step - left % step;
            if (offset < 0)
                continue;
            const int32_t x = Pixel(offset / m) + m_geometry.LabelWidth;
            m_painter.setPen(QColor(0xC0, 0xC0, 0xC0));
            m_painter.drawLine(x, m_geometry.StripHeight, x, m_height);
            const int64_t seconds = step * (left / step + k) / 1000;
            const QString label =
                QString::asprintf("%d:%.2d", static_cast<int>(seconds / 60), static_cast<int>(seconds % 60));
            const int32_t half = m_metrics.horizontalAdvance(label) / 2;
            if (x - half >= lastLabelEnd) {
                m_painter.setPen(Qt::black);
                m_painter.drawText(x - half, m_ascent, label);
                lastLabelEnd = x + half;
            }
        }
    }

    void PaintSeparators() {
        m_painter.setPen(QColor(0xC0, 0xC0, 0xC0));
        int32_t y = m_geometry.StripHeight;
        for (const int32_t height : m_geometry.RowHeights) {
            y += height + 4;
            m_painter.drawLine(m_geometry.LabelWidth, y - 2, m_width, y - 2);
        }
    }

    TColor ColourOf(const TEvent& event) const {
        if (!m_project.EventTypes.IsValidIndex(event.EventType))
            return 0;
        return GroupIndexToColor(m_project.EventTypes[event.EventType].GroupIndex);
    }

    // The state from one event to the next: a rounded bar in the colour of
    // the earlier event's type, labelled with its text in the inverted
    // colour, clipped to the bar; the text starts at the event even where
    // the bar itself starts at the left edge.
    void PaintBar(int32_t top, int32_t bottom, int32_t x0, int32_t x1, int32_t textX, TColor colour,
                  const QString& text) {
        if (x1 <= x0)
            return;
        const int32_t s = m_geometry.LabelWidth;
        const QColor fill = ToQColor(colour);
        if (x1 - x0 <= 5) {
            // Too narrow for rounding or text: collected and drawn with the
            // row's other narrow bars in one go (zoomed out, a row holds
            // about one per pixel).
            const QRgb pixel = fill.rgb() | 0xFF000000u;
            for (int32_t x = std::max(x0, 0); x < std::min(x1, m_span); ++x)
                m_narrowBars[static_cast<std::size_t>(x)] = pixel;
            m_hasNarrowBars = true;
            return;
        }
        m_painter.setPen(Qt::NoPen);
        m_painter.setBrush(fill);
        m_painter.drawRoundedRect(QRectF(s + x0, top, x1 - x0, bottom - top), 2.5, 2.5);
        const QRect clip(QPoint(s + x0 + 5, top), QPoint(s + x1 - 5 - 1, bottom - 1));
        if (text.isEmpty() || clip.width() <= 0 || clip.height() <= 0)
            return;
        m_painter.setClipRect(clip);
        m_painter.setPen(ToQColor(colour ^ 0xFFFFFF));
        m_painter.drawText(s + textX + 5, top + (bottom - top) / 2 - m_textHeight / 2 + m_ascent, text);
        m_painter.setClipping(false);
    }

    void PaintRow(std::size_t rowIndex) {
        const int32_t top = m_geometry.RowTops[rowIndex];
        if (top >= m_height)
            return;
        const int32_t bottom = top + m_geometry.RowHeights[rowIndex];
        const TTimelineRows::TRow& row = m_rows[rowIndex];
        const int64_t left = m_geometry.Left;
        const int64_t right = m_geometry.Right;
        const int64_t m = m_geometry.MsPerPixel;
        const auto byTime = [](int64_t time, const TEvent* event) { return time < event->Time; };
        if (std::upper_bound(row.begin(), row.end(), right, byTime) == row.begin())
            return;
        auto first = std::upper_bound(row.begin(), row.end(), left, byTime);
        std::size_t a = first == row.begin() ? 0 : static_cast<std::size_t>(first - row.begin()) - 1;

        m_narrowBars.assign(static_cast<std::size_t>(m_span), 0);
        m_hasNarrowBars = false;
        int32_t x0 = Pixel((row[a]->Time - left) / m);
        int32_t textX = x0;
        TColor colour = ColourOf(*row[a]);
        x0 = std::max(x0, 0);
        for (std::size_t k = a + 1; k < row.size(); ++k) {
            const int32_t x1 = Pixel((row[k]->Time - left) / m);
            PaintBar(top, bottom, x0, x1, textX, colour, row[k - 1]->Text);
            x0 = textX = x1;
            colour = ColourOf(*row[k]);
            if (row[k]->Time > right)
                break; // the rest lies beyond the right edge
        }
        if (row.back()->Time <= right)
            PaintBar(top, bottom, x0, Pixel((right - left) / m), textX, colour, row.back()->Text);
        if (m_hasNarrowBars)
            PaintNarrowBars(top, bottom - top);
    }

    void PaintNarrowBars(int32_t top, int32_t height) {
        if (m_strip.width() != m_span || m_strip.height() != height)
            m_strip = QImage(m_span, height, QImage::Format_ARGB32_Premultiplied);
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(m_strip.scanLine(y), m_narrowBars.data(), m_narrowBars.size() * sizeof(QRgb));
        m_painter.drawImage(m_geometry.LabelWidth, top, m_strip);
    }

    QPainter& m_painter;
    const int32_t m_width;
    const int32_t m_height;
    const std::vector<TTimelineRows::TRow>& m_rows;
    const TProject& m_project;
    TTimelineLabelWidths* m_labelWidths;
    QFontMetrics m_metrics;
    const int32_t m_textHeight;
    const int32_t m_ascent;
    int32_t m_span = 1;
    TTimelineGeometry m_geometry;
    // Colours of the current row's narrow bars by pixel column; 0 is none.
    std::vector<QRgb> m_narrowBars;
    bool m_hasNarrowBars = false;
    QImage m_strip;
};

} // namespace

TTimelineGeometry PaintTimeline(QPainter& painter, QSize size, const TTimelineRows& rows,
                                const TProject& project, TTimelineView& view, TRecentre recentre,
                                TTimelineLabelWidths* labelWidths) {
    return TTimelinePainter(painter, size, rows, project, labelWidths).Paint(view, recentre);
}
