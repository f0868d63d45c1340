#include "views/core/event_overlays.h"

#include "base/exception.h"
#include "model/text_compare.h"
#include "views/core/overlay_shapes.h"

#include <cmath>
#include <numbers>

const std::array<const char*, OverlayNameCount> OverlayParameterNames = {
    "MinX",  "MinY",      "MaxX",  "MaxY",   "X1",      "Y1",      "X2",     "Y2",    "X3",
    "Y3",    "X4",        "Y4",    "Camera", "Object",  "BeginX",  "BeginY", "EndX",  "EndY",
    "Angle", "Direction", "Slope", "Person", "CenterX", "CenterY", "AxisA",  "AxisB", "Orientation"};

namespace {

using N = TOverlayName;

const std::array<QString, OverlayNameCount>& NameTexts() {
    static const std::array<QString, OverlayNameCount> texts = [] {
        std::array<QString, OverlayNameCount> result;
        for (int32_t i = 0; i < OverlayNameCount; ++i)
            result[static_cast<std::size_t>(i)] = QString::fromLatin1(OverlayParameterNames[i]);
        return result;
    }();
    return texts;
}

// Characters a number can be written with. Values made of anything else
// are no number, and are turned away without the cost of a conversion
// error: a tracker may write words in fields that are numbers elsewhere.
bool MayBeNumber(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (!((u >= u'0' && u <= u'9') || u == u'.' || u == u',' || u == u'+' || u == u'-' || u == u'e' ||
              u == u'E' || u == u' ' || u == u'\t'))
            return false;
    }
    return !text.isEmpty();
}

int32_t Trunc(double value) {
    return VideoOverlay::TruncToInt(value);
}

void AddHeadGauge(TOverlayTarget& target, const TOverlayValues& values) {
    constexpr double Pi = std::numbers::pi;
    constexpr double Radius = 30;
    constexpr double OuterRadius = 50;
    const double x1 = values.Value(N::X1);
    const double x2 = values.Value(N::X2);
    const double angle = values.Value(N::Angle);
    const double direction = values.Value(N::Direction);
    const double slope = values.Value(N::Slope);
    const double cx = x1 + (x2 - x1) * 0.5;
    // Above the quadrilateral at a fixed height: radius, arrow and a margin.
    const double cy = 60;
    target.AddCircle(Trunc(cx), Trunc(cy), Trunc(Radius));
    const double chord = Radius * std::cos(std::asin(slope));
    target.AddLine(Trunc(cx - chord), Trunc(cy + Radius * slope), Trunc(cx + chord),
                   Trunc(cy + Radius * slope));
    const double needle = (90 - angle) * Pi / 180;
    target.AddLine(Trunc(cx), Trunc(cy + Radius), Trunc(cx - Radius * std::cos(needle)),
                   Trunc(cy - Radius * std::sin(needle)));
    const double w = Pi / 2 - direction * Pi / 4 - angle * Pi / 180 + Pi;
    target.AddArrow(Trunc(cx - Radius * std::cos(w)), Trunc(cy - Radius * std::sin(w)),
                    Trunc(cx - OuterRadius * std::cos(w)), Trunc(cy - OuterRadius * std::sin(w)));
}

} // namespace

int32_t FindOverlayName(const QString& name) {
    const auto& texts = NameTexts();
    for (int32_t i = 0; i < OverlayNameCount; ++i)
        if (SameTextIgnoringCase(texts[static_cast<std::size_t>(i)], name))
            return i;
    return -1;
}

void TOverlayValues::Read(const TParameters& parameters) {
    m_present.fill(false);
    m_person.clear();
    for (const TParameter& pair : parameters) {
        const int32_t position = FindOverlayName(pair.Name);
        if (position < 0)
            continue;
        const auto index = static_cast<std::size_t>(position);
        if (position == static_cast<int32_t>(N::Person)) {
            m_person = pair.Value;
            m_present[index] = true;
            continue;
        }
        m_present[index] = false;
        if (!MayBeNumber(pair.Value))
            continue;
        m_scratch.ClearParameters();
        m_scratch.AddParameter(pair);
        try {
            m_present[index] = m_scratch.GetFloatParameter(pair.Name, m_values[index]);
        } catch (const TConvertError&) {
            // No number: the name stays absent, as the rule for overlays is.
        }
    }
}

bool TOverlayValues::HasAll(std::initializer_list<TOverlayName> names) const {
    for (const TOverlayName name : names)
        if (!Has(name))
            return false;
    return true;
}

int32_t TOverlayValues::Int(TOverlayName name) const {
    return Trunc(Value(name));
}

QString RectangleLabel(const QString& typeName, const TOverlayValues& values) {
    QString suffix = values.Person();
    if (values.Has(N::Object)) {
        const QString object = QString::number(values.Int(N::Object));
        suffix = suffix.isEmpty() ? object : suffix + u'(' + object + u')';
    }
    return suffix.isEmpty() ? typeName : typeName + QStringLiteral(" - ") + suffix;
}

void AddEventShapes(TOverlayTarget& target, const TOverlayValues& values, const QString& typeName,
                    const TEvent* event) {
    const TOverlayValues& v = values;
    if (v.HasAll({N::MinX, N::MinY, N::MaxX, N::MaxY}))
        target.AddRectangle(v.Int(N::MinX), v.Int(N::MinY), v.Int(N::MaxX), v.Int(N::MaxY),
                            RectangleLabel(typeName, v), event);
    if (v.HasAll({N::CenterX, N::CenterY, N::AxisA, N::AxisB, N::Orientation})) {
        target.AddEllipse(v.Int(N::CenterX), v.Int(N::CenterY), v.Int(N::AxisA), v.Int(N::AxisB),
                          v.Value(N::Orientation));
    } else if (v.HasAll({N::CenterX, N::CenterY})) {
        // 64-bit: a centre at the edge of the int32 range must not wrap.
        const int64_t x = v.Int(N::CenterX);
        const int64_t y = v.Int(N::CenterY);
        target.AddLine(Trunc(double(x - 10)), Trunc(double(y)), Trunc(double(x + 10)), Trunc(double(y)));
        target.AddLine(Trunc(double(x)), Trunc(double(y - 10)), Trunc(double(x)), Trunc(double(y + 10)));
    }
    if (v.HasAll({N::X1, N::Y1, N::X2, N::Y2, N::X3, N::Y3, N::X4, N::Y4})) {
        target.AddPolygon(v.Int(N::X1), v.Int(N::Y1), v.Int(N::X2), v.Int(N::Y2), v.Int(N::X3), v.Int(N::Y3),
                          v.Int(N::X4), v.Int(N::Y4));
        if (v.HasAll({N::Angle, N::Direction, N::Slope}) && v.Value(N::Slope) >= -1 && v.Value(N::Slope) <= 1)
            AddHeadGauge(target, v);
    }
    if (v.HasAll({N::BeginX, N::BeginY, N::EndX, N::EndY}))
        target.AddArrow(v.Int(N::BeginX), v.Int(N::BeginY), v.Int(N::EndX), v.Int(N::EndY));
}

void BuildEventOverlays(const TProject& project, int32_t cursor, const TListClock& clock, bool drawLast,
                        const TOverlayTargetFinder& targetFor, TOverlayValues& values) {
    const TEvents& events = project.Events();
    if (cursor < 0 || static_cast<std::size_t>(cursor) >= events.Count())
        return;
    const int64_t reference = drawLast ? events[static_cast<std::size_t>(cursor)]->Time : clock.CurrentTime;
    const bool isFrames = clock.TimeFormat == TTimeFormat::Frames;
    const bool hasFilter = !project.FilteredTypes.empty();
    for (int32_t i = cursor; i >= 0; --i) {
        const TEvent& event = *events[static_cast<std::size_t>(i)];
        if (hasFilter && project.FilteredTypes.contains(event.EventType))
            continue;
        const int64_t time = event.Time;
        if (isFrames ? time != reference : (time > reference || reference - time >= clock.FramePeriodMs))
            break;
        values.Read(event.Parameters);
        if (!values.Has(N::Camera))
            continue;
        TOverlayTarget* target = targetFor(values.Value(N::Camera));
        if (!target)
            continue;
        const QString typeName = project.EventTypes.IsValidIndex(event.EventType)
                                     ? project.EventTypes[event.EventType].Name
                                     : QString();
        AddEventShapes(*target, values, typeName, &event);
    }
}
