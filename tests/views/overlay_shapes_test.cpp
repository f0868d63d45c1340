// Shape geometry checked on rendered pictures: where the white 3-pixel and
// the black 1-pixel passes land at a scale of 2, and the rules of right-click
// selection and moving.
#include "views/core/overlay_shapes.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <string>

using namespace VideoOverlay;

namespace {

constexpr QRgb Gray = 0x808080;
constexpr QRgb White = 0xffffff;
constexpr QRgb Black = 0x000000;
constexpr QRgb Red = 0xff0000;

QImage Render(const TDrawable& shape, double scaleX = 2, double scaleY = 2, QSize size = QSize(200, 200)) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Gray);
    QPainter painter(&image);
    shape.Draw(TDrawContext{painter, scaleX, scaleY});
    return image;
}

QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xffffff;
}

// The bounding box of the pixels of one colour, in a region.
QRect BoxOf(const QImage& image, QRgb colour, QRect region) {
    QRect box;
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x)
            if (At(image, x, y) == colour)
                box = box.united(QRect(x, y, 1, 1));
    return box;
}

int CountOf(const QImage& image, QRgb colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += At(image, x, y) == colour;
    return count;
}

} // namespace

TEST(TruncToIntTest, TowardZeroAndSaturating) {
    EXPECT_EQ(TruncToInt(2.9), 2);
    EXPECT_EQ(TruncToInt(-2.9), -2);
    EXPECT_EQ(TruncToInt(1e12), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(TruncToInt(-1e12), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(TruncToInt(std::nan("")), 0);
}

TEST(ShapeDrawingTest, LineAtScaleTwoIsBlackOnAWhiteBorder) {
    const QImage image = Render(TArrow(10, 20, 30, 20, false));
    // Black pass exactly on the mapped line (20, 40) - (60, 40).
    EXPECT_EQ(BoxOf(image, Black, image.rect()), QRect(QPoint(20, 40), QPoint(60, 40)));
    for (int x = 21; x < 60; x += 7) {
        EXPECT_EQ(At(image, x, 39), White) << x;
        EXPECT_EQ(At(image, x, 41), White) << x;
        EXPECT_EQ(At(image, x, 38), Gray) << x;
        EXPECT_EQ(At(image, x, 42), Gray) << x;
    }
    // No head on a line: nothing but the three rows.
    EXPECT_EQ(BoxOf(image, White, image.rect()).top(), 39);
    EXPECT_EQ(BoxOf(image, White, image.rect()).bottom(), 41);
}

TEST(ShapeDrawingTest, ArrowWithCoincidentEndsDrawsNothing) {
    EXPECT_EQ(CountOf(Render(TArrow(15, 15, 15, 15, true)), Gray), 200 * 200);
}

TEST(ShapeDrawingTest, ArrowHeadIsTenSurfacePixelsWhateverTheScale) {
    // Pointing left: end (10, 20), head opening towards the begin.
    for (const double scale : {2.0, 4.0}) {
        const QImage image = Render(TArrow(40, 20, 10, 20, true), scale, scale);
        const int ex = int(10 * scale);
        const int ey = int(20 * scale);
        // The barbs above and below the shaft's row.
        const QRect upper = BoxOf(image, Black, QRect(ex - 3, ey - 12, 20, 12));
        const QRect lower = BoxOf(image, Black, QRect(ex - 3, ey + 1, 20, 12));
        EXPECT_EQ(upper.right(), ex + 10) << scale;
        EXPECT_EQ(upper.top(), ey - 5) << scale;
        EXPECT_EQ(lower.right(), ex + 10) << scale;
        EXPECT_EQ(lower.bottom(), ey + 5) << scale;
        // Each barb starts at the end point (rasterised within a pixel or two).
        EXPECT_LE(upper.left(), ex + 2) << scale;
        EXPECT_LE(lower.left(), ex + 2) << scale;
        // The barb tips themselves.
        EXPECT_EQ(At(image, ex + 10, ey + 5), Black) << scale;
        EXPECT_EQ(At(image, ex + 10, ey - 5), Black) << scale;
    }
}

TEST(ShapeDrawingTest, ArrowHeadDirectionComesFromVideoCoordinates) {
    // A diagonal arrow drawn at a non-square scale: the head is built from
    // the unscaled direction (1, 1)/sqrt 2, so its barbs are symmetric about
    // that diagonal on the surface, not about the drawn shaft.
    const QImage image = Render(TArrow(30, 30, 10, 10, true), 2, 4);
    const double h = 10 / std::numbers::sqrt2;
    const int cx = int(20 + h);
    const int cy = int(40 + h);
    // Barb tips at (c - uy 5, c + ux 5) and (c + uy 5, c - ux 5).
    EXPECT_EQ(At(image, int(20 + h - h / 2), int(40 + h + h / 2)), Black);
    EXPECT_EQ(At(image, int(20 + h + h / 2), int(40 + h - h / 2)), Black);
    EXPECT_NE(At(image, cx, cy), Black);
}

TEST(ShapeDrawingTest, RectangleOutlinesAndSelection) {
    // Given with MinX > MaxX and MinY > MaxY: drawn with ordered corners.
    for (const bool swapped : {false, true}) {
        TRectangle rectangle =
            swapped ? TRectangle(30, 20, 5, 5, QString()) : TRectangle(5, 5, 30, 20, QString());
        const QImage image = Render(rectangle);
        EXPECT_EQ(BoxOf(image, Black, image.rect()), QRect(QPoint(10, 10), QPoint(60, 40)));
        EXPECT_EQ(At(image, 9, 25), White);
        EXPECT_EQ(At(image, 11, 25), White);
        EXPECT_EQ(At(image, 35, 41), White);
        EXPECT_EQ(At(image, 35, 25), Gray) << "outline only, no fill";
        EXPECT_EQ(CountOf(image, Red), 0);

        rectangle.SetSelected(true);
        const QImage selected = Render(rectangle);
        EXPECT_EQ(At(selected, 9, 25), Red);
        EXPECT_EQ(At(selected, 10, 25), Black);
        EXPECT_EQ(CountOf(selected, White), 0);
    }
}

TEST(ShapeDrawingTest, LabelSitsAboveTheTopLeftCornerBlackWithWhiteOutline) {
    TRectangle rectangle(20, 40, 60, 60, QStringLiteral("Label"));
    const QImage image = Render(rectangle, 1, 1);
    QImage probe(1, 1, QImage::Format_RGB32);
    const QFontMetrics metrics(LabelFont(), &probe);
    const int h = metrics.height();
    const int textWidth = metrics.horizontalAdvance(QStringLiteral("Label"));
    // Text pixels lie in the band from y0 - h - 2 to y0 - 1 (outline
    // included), starting at x0 - 1.
    const QRect band(QPoint(19, 40 - h - 2), QPoint(20 + textWidth + 1, 38));
    const QRect blackText = BoxOf(image, Black, band);
    ASSERT_FALSE(blackText.isEmpty());
    EXPECT_FALSE(BoxOf(image, White, band).isEmpty());
    EXPECT_GE(blackText.left(), 20);
    EXPECT_LE(blackText.left(), 24);
    // Nothing of the label above the band or left of it.
    EXPECT_TRUE(BoxOf(image, Black, QRect(0, 0, 200, 40 - h - 2)).isEmpty());
    EXPECT_TRUE(BoxOf(image, Black, QRect(0, 0, 18, 60)).isEmpty());

    const QImage unlabelled = Render(TRectangle(20, 40, 60, 60, QString()), 1, 1);
    EXPECT_TRUE(BoxOf(unlabelled, Black, band).isEmpty());
    EXPECT_TRUE(BoxOf(unlabelled, White, QRect(0, 0, 200, 38)).isEmpty());
}

TEST(ShapeDrawingTest, CircleIsInscribedInItsMappedBox) {
    const QImage image = Render(TCircle(50, 40, 10));
    EXPECT_EQ(BoxOf(image, Black, image.rect()), QRect(QPoint(80, 60), QPoint(120, 100)));
    EXPECT_EQ(At(image, 80, 80), Black);
    EXPECT_EQ(At(image, 79, 80), White);
    EXPECT_EQ(At(image, 100, 80), Gray) << "outline only";

    // A non-square scale draws it as an ellipse.
    const QImage stretched = Render(TCircle(50, 40, 10), 2, 1);
    EXPECT_EQ(BoxOf(stretched, Black, stretched.rect()), QRect(QPoint(80, 30), QPoint(120, 50)));
}

TEST(ShapeDrawingTest, EllipseHasFiftyPointsRotatedAfterScaling) {
    const TEllipse upright(50, 40, 20, 10, 0);
    const QPolygon points = EllipseOutline(upright, 2, 2);
    ASSERT_EQ(points.size(), 50);
    EXPECT_EQ(points[0], QPoint(140, 80));
    // No point falls on t = pi / 2: the lowest, at t = 12 steps, has
    // sin t = 0.998 and so y = trunc(80 + 19.96) = 99.
    EXPECT_EQ(points.boundingRect(), QRect(QPoint(60, 60), QPoint(140, 99)));

    const QImage image = Render(upright);
    EXPECT_EQ(BoxOf(image, Black, image.rect()), QRect(QPoint(60, 60), QPoint(140, 99)));
    EXPECT_EQ(At(image, 100, 80), Gray);

    // A quarter turn with a non-square scale: the scaled axis A (20 x 2)
    // turns vertical on the surface.
    const TEllipse turned(50, 40, 20, 10, float(std::numbers::pi / 2));
    const QPolygon turnedPoints = EllipseOutline(turned, 2, 1);
    ASSERT_EQ(turnedPoints.size(), 50);
    EXPECT_EQ(turnedPoints[0], QPoint(100, 80));
    EXPECT_EQ(turnedPoints.boundingRect(), QRect(QPoint(90, 0), QPoint(109, 80)));
}

TEST(ShapeDrawingTest, PolygonIsClosed) {
    const QImage image = Render(TPolygon(10, 10, 40, 10, 40, 30, 10, 30));
    // The edge from the fourth point back to the first.
    for (int y = 21; y < 60; y += 9)
        EXPECT_EQ(At(image, 20, y), Black) << y;
    EXPECT_EQ(BoxOf(image, Black, image.rect()), QRect(QPoint(20, 20), QPoint(80, 60)));
}

TEST(ShapeDrawingTest, FarAwayCoordinatesDrawWithoutOverflow) {
    // Values typed into event parameters can be anything; drawing them must
    // neither overflow nor paint the visible surface.
    const int32_t big = std::numeric_limits<int32_t>::max();
    const int32_t small = std::numeric_limits<int32_t>::min();
    TRectangle rectangle(big - 5, big - 5, big, big, QStringLiteral("far"));
    EXPECT_EQ(CountOf(Render(rectangle), Gray), 200 * 200);
    EXPECT_EQ(CountOf(Render(TCircle(big, big, 10)), Gray), 200 * 200);
    EXPECT_EQ(CountOf(Render(TEllipse(small, small, 10, 10, 1.0f)), Gray), 200 * 200);
    // A line between the extremes still crosses the surface on its diagonal.
    const QImage diagonal = Render(TArrow(small, small, big, big, true));
    EXPECT_EQ(At(diagonal, 100, 100), Black);
    EXPECT_EQ(At(diagonal, 100, 60), Gray);
}

class RectangleHitTest : public ::testing::Test {};

TEST_F(RectangleHitTest, DistanceToTheNearestEdgeInsideOnly) {
    const TRectangle rectangle(10, 20, 50, 40, QString());
    EXPECT_EQ(rectangle.HitDistance(30, 30), 10);
    EXPECT_EQ(rectangle.HitDistance(12, 30), 2);
    EXPECT_EQ(rectangle.HitDistance(10, 20), 0) << "edges belong to it";
    EXPECT_EQ(rectangle.HitDistance(9, 30), NeverHit);
    EXPECT_EQ(rectangle.HitDistance(30, 41), NeverHit);
    // Nested: the inner rectangle's edge is nearer to a point inside both.
    const TRectangle inner(25, 25, 35, 35, QString());
    EXPECT_LT(inner.HitDistance(30, 30), rectangle.HitDistance(30, 30));
}

TEST_F(RectangleHitTest, ReversedCornersAreNeverHit) {
    const TRectangle reversed(50, 20, 10, 40, QString());
    for (int x = 0; x <= 60; x += 5)
        EXPECT_EQ(reversed.HitDistance(x, 30), NeverHit) << x;
    EXPECT_EQ(TRectangle(10, 40, 50, 20, QString()).HitDistance(30, 30), NeverHit);
}

TEST_F(RectangleHitTest, MoveCentresAndAnOddExtentLosesAPixel) {
    TRectangle rectangle(0, 0, 11, 20, QString());
    EXPECT_FALSE(rectangle.MoveTo(100, 50)) << "no event parameters to rewrite";
    EXPECT_EQ(rectangle.MinX, 95);
    EXPECT_EQ(rectangle.MaxX, 105);
    EXPECT_EQ(rectangle.MinY, 40);
    EXPECT_EQ(rectangle.MaxY, 60);
    // Division truncates toward zero, also around negative centres.
    rectangle.MoveTo(-3, -3);
    EXPECT_EQ(rectangle.MinX, -8);
    EXPECT_EQ(rectangle.MaxX, 2);
}

TEST_F(RectangleHitTest, MoveRewritesTheEventsPairsThatExist) {
    const TEvent event(
        0, 0, QString(),
        TParameters{{"Person", "A"}, {"centerx", "1"}, {"MaxX", "2"}, {"MinX", "3"}, {"CenterY", "4"}});
    TRectangle rectangle(10, 10, 20, 30, QStringLiteral("A"), &event);
    EXPECT_TRUE(rectangle.MoveTo(100, 200));
    // Order and names kept; MinY and MaxY are not added.
    EXPECT_EQ(rectangle.Rewritten.ParametersToText(),
              QStringLiteral("Person=A centerx=100 MaxX=105 MinX=95 CenterY=200"));
}

TEST_F(RectangleHitTest, HugeRectanglesDoNotOverflow) {
    const int32_t big = std::numeric_limits<int32_t>::max();
    const int32_t small = std::numeric_limits<int32_t>::min();
    TRectangle rectangle(small, small, big, big, QString());
    EXPECT_EQ(rectangle.HitDistance(-1, -1), big);
    EXPECT_EQ(rectangle.HitDistance(small + 3, 0), 3);
    rectangle.MoveTo(big, small);
    EXPECT_EQ(rectangle.MaxX, big);
    EXPECT_EQ(rectangle.MinY, small);
}
