#include "views/core/mouse_region.h"

#include "base/exception.h"

namespace {

double ToVideo(int32_t position, int32_t areaExtent, int32_t videoExtent) {
    if (areaExtent <= 0 || videoExtent <= 0)
        return 0;
    return position / (static_cast<double>(areaExtent) / videoExtent);
}

QString Decimal(double videoCoordinate) {
    return QString::number(VideoOverlay::TruncToInt(videoCoordinate));
}

} // namespace

TVideoPoint PictureToVideo(int32_t x, int32_t y, int32_t areaWidth, int32_t areaHeight, int32_t videoWidth,
                           int32_t videoHeight) {
    return TVideoPoint{ToVideo(x, areaWidth, videoWidth), ToVideo(y, areaHeight, videoHeight)};
}

std::optional<TRegionSize> TemplateRegionSize(const TParameters& templateParameters) {
    TRegionSize size{};
    try {
        if (templateParameters.GetFloatParameter(QStringLiteral("Width"), size.Width) &&
            templateParameters.GetFloatParameter(QStringLiteral("Height"), size.Height))
            return size;
    } catch (const TConvertError&) {
        // Treated like a missing pair; the template dialog accepts any text.
    }
    return std::nullopt;
}

QString MouseTemplateLabel(const QString& typeName, const TParameters& templateParameters) {
    QString person;
    if (const TParameter* pair = templateParameters.FindParameter(QStringLiteral("Person")))
        person = pair->Value;
    if (const TParameter* pair = templateParameters.FindParameter(QStringLiteral("Object")))
        person = person.isEmpty() ? pair->Value : person + QLatin1Char('(') + pair->Value + QLatin1Char(')');
    if (person.isEmpty())
        return typeName;
    return typeName + QStringLiteral(" - ") + person;
}

std::optional<VideoOverlay::TRectangle> DragPreviewRectangle(const TParameters& templateParameters,
                                                             const QString& typeName, TVideoPoint at) {
    const std::optional<TRegionSize> size = TemplateRegionSize(templateParameters);
    if (!size)
        return std::nullopt;
    using VideoOverlay::TruncToInt;
    VideoOverlay::TRectangle preview(
        TruncToInt(at.X - size->Width * 0.5), TruncToInt(at.Y - size->Height * 0.5),
        TruncToInt(at.X + size->Width * 0.5), TruncToInt(at.Y + size->Height * 0.5),
        MouseTemplateLabel(typeName, templateParameters));
    preview.SetSelected(true);
    return preview;
}

TParameters MouseRegionParameters(const TParameters& templateParameters, int32_t camera, TVideoPoint at) {
    TParameters parameters = templateParameters;
    parameters.AddParameter({QStringLiteral("Camera"), QString::number(camera)});
    parameters.AddParameter({QStringLiteral("CenterX"), Decimal(at.X)});
    parameters.AddParameter({QStringLiteral("CenterY"), Decimal(at.Y)});
    if (const std::optional<TRegionSize> size = TemplateRegionSize(parameters)) {
        parameters.AddParameter({QStringLiteral("MinX"), Decimal(at.X - size->Width * 0.5)});
        parameters.AddParameter({QStringLiteral("MaxX"), Decimal(at.X + size->Width * 0.5)});
        parameters.AddParameter({QStringLiteral("MinY"), Decimal(at.Y - size->Height * 0.5)});
        parameters.AddParameter({QStringLiteral("MaxY"), Decimal(at.Y + size->Height * 0.5)});
    }
    return parameters;
}

TParameterNames MouseRegionIgnoredNames() {
    return {QStringLiteral("CenterX"), QStringLiteral("CenterY"), QStringLiteral("MinX"),
            QStringLiteral("MaxX"),    QStringLiteral("MinY"),    QStringLiteral("MaxY")};
}
