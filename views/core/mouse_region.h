#pragma once
// Mouse mode of a video window: the region a left-button drag marks, shown
// as a preview rectangle and recorded as an event carrying the region's
// centre and extent.
//
// Positions arrive in picture-area pixels and are converted to video
// coordinates (doubles) before anything else; recorded values are those
// coordinates truncated toward zero.

#include "model/parameters.h"
#include "views/core/overlay_shapes.h"

#include <QString>

#include <cstdint>
#include <optional>

struct TVideoPoint {
    double X = 0;
    double Y = 0;
};

// (X, Y) of a picture area of areaWidth x areaHeight showing a video of
// videoWidth x videoHeight, in video coordinates. An axis without extent on
// either side gives 0 (there is no pixel to point at).
TVideoPoint PictureToVideo(int32_t x, int32_t y, int32_t areaWidth, int32_t areaHeight, int32_t videoWidth,
                           int32_t videoHeight);

struct TRegionSize {
    float Width;
    float Height;
};

// The template's "Width" and "Height" pairs read as numbers. Missing when
// either pair is absent or does not hold a number: a mistyped template then
// marks only a point instead of failing in the middle of a drag.
std::optional<TRegionSize> TemplateRegionSize(const TParameters& templateParameters);

// typeName, followed by " - " and the person when the template names one;
// the template's "Object" joins as "person(object)", or alone without person.
QString MouseTemplateLabel(const QString& typeName, const TParameters& templateParameters);

// The red rectangle shown while dragging, centred on `at`; none when the
// template has no usable size.
std::optional<VideoOverlay::TRectangle> DragPreviewRectangle(const TParameters& templateParameters,
                                                             const QString& typeName, TVideoPoint at);

// The parameters recorded for a region centred on `at`: a copy of the
// template followed by Camera, CenterX, CenterY and, when the template has a
// usable size, MinX, MaxX, MinY, MaxY (appended, so a template pair of the
// same name stays first).
TParameters MouseRegionParameters(const TParameters& templateParameters, int32_t camera, TVideoPoint at);

// The names left out when a new region replaces one recorded at the same time.
TParameterNames MouseRegionIgnoredNames();
