// Shapes written straight into a raster surface must give the very pixels the
// painter draws: a table of overlapping, degenerate, clipped and far-away
// rectangles with labels, between shapes only the painter draws, at several
// scales, offsets and surface formats.
#include "views/core/raster_surface.h"
#include "views/core/video_picture.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <QPaintEngine>
#include <QRegion>

#include <cstring>
#include <functional>
#include <limits>
#include <ostream>

using namespace VideoOverlay;

namespace {

TOverlayList Scene() {
    const int32_t big = std::numeric_limits<int32_t>::max();
    const int32_t small = std::numeric_limits<int32_t>::min();
    TOverlayList shapes;
    const auto rectangle = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1, const char* label,
                               bool selected = false) {
        shapes.push_back(std::make_unique<TRectangle>(x0, y0, x1, y1, QString::fromUtf8(label)));
        shapes.back()->SetSelected(selected);
    };
    rectangle(10, 30, 60, 80, "Person - 3");
    rectangle(40, 50, 90, 100, "Face - Anna(3)", true);
    shapes.push_back(std::make_unique<TArrow>(0, 0, 100, 100, true));
    rectangle(150, 90, 120, 60, "");
    shapes.push_back(std::make_unique<TCircle>(100, 75, 30));
    for (int32_t extent = 0; extent <= 7; ++extent)
        rectangle(20 + 12 * extent, 110, 20 + 13 * extent, 110 + extent, extent % 2 ? "x" : "");
    rectangle(-10, -5, 15, 12, "Top");
    rectangle(5, 2, 40, 20, "Clipped label");
    rectangle(185, 140, 230, 170, "Edge label");
    rectangle(-50, -50, -20, -20, "gone");
    shapes.push_back(std::make_unique<TEllipse>(60, 60, 40, 20, 0.5f));
    rectangle(big - 5, big - 5, big, big, "far");
    rectangle(small, small, big, big, "");
    shapes.push_back(std::make_unique<TPolygon>(70, 10, 120, 20, 110, 60, 80, 40));
    rectangle(75, 15, 115, 45, "Over the polygon");
    return shapes;
}

QImage Background(QImage::Format format) {
    QImage image(200, 150, format);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgb(x * 7 % 256, y * 13 % 256, (x ^ y) % 256));
    return image;
}

struct TSurfaceCase {
    const char* Name;
    QImage::Format Format;
    double ScaleX, ScaleY;
    std::function<void(QPainter&)> SetUp;
    bool HasRaster;
};

void PrintTo(const TSurfaceCase& c, std::ostream* out) {
    *out << c.Name;
}

class RasterSurfaceTest : public ::testing::TestWithParam<TSurfaceCase> {};

TEST_P(RasterSurfaceTest, DrawsThePaintersPixels) {
    const TSurfaceCase& c = GetParam();
    const TOverlayList shapes = Scene();
    const auto draw = [&](bool direct) {
        QImage image = Background(c.Format);
        QPainter painter(&image);
        if (c.SetUp)
            c.SetUp(painter);
        const std::optional<TRasterSurface> raster = TRasterSurface::Of(painter);
        EXPECT_EQ(raster.has_value(), c.HasRaster);
        DrawShapes(shapes, TDrawContext{painter, c.ScaleX, c.ScaleY, direct && raster ? &*raster : nullptr});
        painter.end();
        return image;
    };
    const QImage expected = draw(false);
    const QImage drawn = draw(true);
    ASSERT_NE(expected, Background(c.Format)) << "the scene draws something";
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            ASSERT_EQ(drawn.pixel(x, y), expected.pixel(x, y)) << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    Surfaces, RasterSurfaceTest,
    ::testing::Values(
        TSurfaceCase{"Unscaled", QImage::Format_RGB32, 1, 1, {}, true},
        TSurfaceCase{"Double", QImage::Format_ARGB32_Premultiplied, 2, 2, {}, true},
        TSurfaceCase{"Shrunk", QImage::Format_RGB32, 0.5, 0.75, {}, true},
        TSurfaceCase{"Uneven", QImage::Format_RGB32, 1.37, 2.21, {}, true},
        TSurfaceCase{"Offset", QImage::Format_RGB32, 1, 1, [](QPainter& p) { p.translate(7, -3); }, true},
        TSurfaceCase{"HalfPixelOffset", QImage::Format_RGB32, 1, 1, [](QPainter& p) { p.translate(0.5, 0); },
                     false},
        TSurfaceCase{"Scaled", QImage::Format_RGB32, 1, 1, [](QPainter& p) { p.scale(2, 2); }, false},
        TSurfaceCase{"Clipped", QImage::Format_RGB32, 1, 1,
                     [](QPainter& p) { p.setClipRect(20, 20, 50, 50); }, false},
        TSurfaceCase{"Translucent", QImage::Format_RGB32, 1, 1, [](QPainter& p) { p.setOpacity(0.5); },
                     false},
        TSurfaceCase{"NotPremultiplied", QImage::Format_ARGB32, 1, 1, {}, false},
        TSurfaceCase{"ThreeBytes", QImage::Format_RGB888, 1, 1, {}, false}),
    [](const ::testing::TestParamInfo<TSurfaceCase>& info) { return std::string(info.param.Name); });

} // namespace

namespace {

// A frame with every byte used, the unused fourth one too: the copy must
// keep it as the painter's does.
QImage Frame(QSize size) {
    QImage frame(size, QImage::Format_RGB32);
    for (int y = 0; y < frame.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(frame.scanLine(y));
        for (int x = 0; x < frame.width(); ++x)
            row[x] = static_cast<QRgb>((x * 2654435761u) ^ (y * 40503u) ^ (x << 24));
    }
    return frame;
}

struct TComposeCase {
    const char* Name;
    QImage::Format Format;
    QSize Surface;    // the picture area; the image is 200 x 150
    QSize Video;      // the overlays' scale is Surface / Video
    QRegion Clip;     // the system clip of a widget's paint, empty for none
    QPoint Translate; // of the painter
};

void PrintTo(const TComposeCase& c, std::ostream* out) {
    *out << c.Name;
}

class ComposePictureTest : public ::testing::TestWithParam<TComposeCase> {};

// Banded or not, the frame, the shapes, the preview and the caption land
// byte for byte where the painter alone puts them.
TEST_P(ComposePictureTest, GivesThePaintersBytes) {
    const TComposeCase& c = GetParam();
    const TOverlayList shapes = Scene();
    const QImage frame = Frame(c.Surface);
    const TRectangle preview(30, 20, 70, 90, QString());
    const auto compose = [&](bool reference) {
        QImage image = Background(c.Format);
        if (!c.Clip.isEmpty())
            image.paintEngine()->setSystemClip(c.Clip);
        QPainter painter(&image);
        painter.translate(c.Translate);
        if (reference) {
            painter.drawImage(QRect(QPoint(0, 0), c.Surface), frame);
            const TDrawContext context{painter, double(c.Surface.width()) / c.Video.width(),
                                       double(c.Surface.height()) / c.Video.height(), nullptr};
            DrawShapes(shapes, context);
            preview.Draw(context);
            DrawCaption(painter, QStringLiteral("Caption"), c.Surface.width(), c.Surface.height());
        } else {
            const TPictureContent content{frame,   c.Video.width(), c.Video.height(),
                                          &shapes, &preview,        QStringLiteral("Caption")};
            ComposePicture(painter, c.Surface, content);
        }
        painter.end();
        return image;
    };
    const QImage expected = compose(true);
    const QImage composed = compose(false);
    for (int y = 0; y < expected.height(); ++y)
        ASSERT_EQ(std::memcmp(composed.constScanLine(y), expected.constScanLine(y),
                              static_cast<size_t>(expected.bytesPerLine())),
                  0)
            << "row " << y;
}

INSTANTIATE_TEST_SUITE_P(
    Surfaces, ComposePictureTest,
    ::testing::Values(
        TComposeCase{"Whole", QImage::Format_RGB32, {200, 150}, {200, 150}, {}, {}},
        TComposeCase{"ScaledShapes", QImage::Format_RGB32, {200, 150}, {100, 60}, {}, {}},
        TComposeCase{"ShapesBelowTheFrame", QImage::Format_RGB32, {200, 70}, {200, 70}, {}, {}},
        TComposeCase{"Premultiplied", QImage::Format_ARGB32_Premultiplied, {200, 150}, {200, 150}, {}, {}},
        TComposeCase{"WidgetInBackingStore",
                     QImage::Format_RGB32,
                     {150, 120},
                     {200, 150},
                     QRegion(20, 10, 150, 120) - QRegion(60, 40, 30, 50),
                     {20, 10}}),
    [](const ::testing::TestParamInfo<TComposeCase>& info) { return std::string(info.param.Name); });

} // namespace
