// Zoom sizes, the caption band, composition of a picture and saving it.
#include "views/core/video_picture.h"

#include "tests/support/temp_dir.h"

#include <QFile>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <vector>

using namespace VideoOverlay;

TEST(ZoomTest, PictureSizeForEachLevel) {
    EXPECT_EQ(ZoomPictureSize(ZoomQuarter, true, 320, 240), QSize(80, 60));
    EXPECT_EQ(ZoomPictureSize(ZoomHalf, true, 320, 240), QSize(160, 120));
    EXPECT_EQ(ZoomPictureSize(ZoomNormal, true, 320, 240), QSize(320, 240));
    EXPECT_EQ(ZoomPictureSize(ZoomDouble, true, 320, 240), QSize(640, 480));
    // Integer division of odd sizes; levels outside 0..3 clamp.
    EXPECT_EQ(ZoomPictureSize(ZoomQuarter, true, 323, 241), QSize(80, 60));
    EXPECT_EQ(ZoomPictureSize(-5, true, 320, 240), QSize(80, 60));
    EXPECT_EQ(ZoomPictureSize(9, true, 320, 240), QSize(640, 480));
    for (int32_t level = ZoomQuarter; level <= ZoomDouble; ++level)
        EXPECT_EQ(ZoomPictureSize(level, false, 320, 240), QSize(160, 0)) << level;
}

TEST(VideoPicture, GrowingToTheMinimumKeepsTheAspect) {
    const struct {
        QSize Picture, Minimum, Grown;
    } cases[] = {
        {{80, 60}, {152, 20}, {152, 114}}, {{80, 60}, {40, 120}, {160, 120}},
        {{80, 60}, {80, 60}, {80, 60}},    {{640, 480}, {152, 20}, {640, 480}},
        {{160, 0}, {152, 20}, {160, 0}},   {{100, 30}, {152, -5}, {152, 46}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GrowKeepingAspect(c.Picture, c.Minimum), c.Grown)
            << c.Picture.width() << "x" << c.Picture.height();
}

TEST(FrameWrapTest, ReadsTheBlockInPlaceAsBlueGreenRed) {
    std::vector<uint8_t> block = {0x10, 0x20, 0x30, 0x00, 0xff, 0x00, 0x00, 0x00,  // row 0
                                  0x00, 0xff, 0x00, 0x00, 0x00, 0x00, 0xff, 0x00}; // row 1
    const QImage frame = WrapFrame(block.data(), 2, 2);
    ASSERT_FALSE(frame.isNull());
    EXPECT_EQ(frame.constBits(), block.data()) << "no copy";
    EXPECT_EQ(frame.pixel(0, 0) & 0xffffff, 0x302010u);
    EXPECT_EQ(frame.pixel(1, 0) & 0xffffff, 0x0000ffu);
    EXPECT_EQ(frame.pixel(0, 1) & 0xffffff, 0x00ff00u);
    EXPECT_EQ(frame.pixel(1, 1) & 0xffffff, 0xff0000u);
    // Later frames written into the same block show through.
    block[0] = 0x99;
    EXPECT_EQ(frame.pixel(0, 0) & 0xff, 0x99u);
    EXPECT_TRUE(WrapFrame(nullptr, 2, 2).isNull());
    EXPECT_TRUE(WrapFrame(block.data(), 0, 2).isNull());
}

class CaptionTest : public ::testing::Test {
protected:
    CaptionTest() : probe(1, 1, QImage::Format_RGB32), metrics(LabelFont(), &probe) {}
    QImage probe;
    QFontMetrics metrics;
};

TEST_F(CaptionTest, OneLineTenPixelsAboveTheBottom) {
    const QRect band = CaptionRect(metrics, QStringLiteral("Hello"), 300, 200);
    EXPECT_EQ(band.left(), 10);
    EXPECT_EQ(band.width(), 280);
    EXPECT_EQ(band.height(), metrics.height());
    EXPECT_EQ(band.top() + band.height(), 190);
}

TEST_F(CaptionTest, TextThatWrapsOnlyInsideTheMarginsKeepsItsLastLine) {
    // Fits the full width on one line but not the band 20 pixels narrower.
    const QString text = QStringLiteral("first second third");
    const int32_t surfaceWidth = metrics.horizontalAdvance(text) + 10;
    const QRect band = CaptionRect(metrics, text, surfaceWidth, 200);
    EXPECT_GE(band.height(), 2 * metrics.height() - 1);
    EXPECT_EQ(band.bottom() + 1, 190);
}

TEST_F(CaptionTest, DrawnWhiteWithBlackOutlineInsideTheBand) {
    QImage image(300, 200, QImage::Format_RGB32);
    image.fill(0x808080);
    QPainter painter(&image);
    DrawCaption(painter, QStringLiteral("Caption"), 300, 200);
    painter.end();
    const QRect band = CaptionRect(metrics, QStringLiteral("Caption"), 300, 200);
    int white = 0;
    int black = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            const QRgb colour = image.pixel(x, y) & 0xffffff;
            if (colour == 0x808080)
                continue;
            EXPECT_TRUE(band.adjusted(-1, -1, 1, 1).contains(x, y)) << x << "," << y;
            white += colour == 0xffffff;
            black += colour == 0;
        }
    EXPECT_GT(white, 20);
    EXPECT_GT(black, 20);
}

TEST(ComposeTest, FrameStretchedWithoutSmoothingThenOverlaysAtSurfaceScale) {
    // A 2 x 1 frame, left red, right blue, stretched to 100 x 50: a hard
    // edge in the middle, no blended column.
    std::vector<uint8_t> block = {0x00, 0x00, 0xff, 0x00, 0xff, 0x00, 0x00, 0x00};
    TOverlayList overlays;
    overlays.push_back(std::make_unique<TArrow>(0, 0, 2, 0, false));
    TPictureContent content{WrapFrame(block.data(), 2, 1), 2, 1, &overlays, nullptr, QString()};
    QImage surface(100, 50, QImage::Format_RGB32);
    surface.fill(Qt::green);
    QPainter painter(&surface);
    ComposePicture(painter, surface.size(), content);
    painter.end();
    for (int x = 0; x < 100; ++x) {
        const QRgb expected = x < 50 ? 0xff0000 : 0x0000ff;
        EXPECT_EQ(surface.pixel(x, 25) & 0xffffff, expected) << x;
    }
    // The line from video (0, 0) to (2, 0) at scale 50 x 50.
    EXPECT_EQ(surface.pixel(99, 0) & 0xffffff, 0u);
    EXPECT_EQ(surface.pixel(50, 1) & 0xffffff, 0xffffffu);
}

TEST(ComposeTest, NoFrameKeepsTheSurface) {
    QImage surface(10, 10, QImage::Format_RGB32);
    surface.fill(Qt::green);
    QPainter painter(&surface);
    ComposePicture(painter, surface.size(), TPictureContent{QImage(), 10, 10, nullptr, nullptr, QString()});
    painter.end();
    EXPECT_EQ(surface.pixel(5, 5), QColor(Qt::green).rgb());
}

TEST(SaveBitmapTest, WritesTwentyFourBitRows) {
    TTempDir dir;
    QImage picture(3, 2, QImage::Format_RGB32);
    picture.fill(0x112233);
    picture.setPixel(0, 0, 0xaabbcc);
    const QString path = QString::fromStdString(dir.File("shot.bmp"));
    ASSERT_TRUE(SaveBitmap24(picture, path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_GE(bytes.size(), 54);
    auto le32 = [&](int offset) {
        return uint32_t(uint8_t(bytes[offset])) | uint32_t(uint8_t(bytes[offset + 1])) << 8 |
               uint32_t(uint8_t(bytes[offset + 2])) << 16 | uint32_t(uint8_t(bytes[offset + 3])) << 24;
    };
    EXPECT_EQ(bytes.left(2), QByteArray("BM"));
    EXPECT_EQ(le32(18), 3u);
    EXPECT_EQ(le32(22), 2u);
    EXPECT_EQ(uint8_t(bytes[28]), 24);
    EXPECT_EQ(le32(30), 0u) << "uncompressed";
    // Rows padded to 4 bytes: 3 x 3 = 9 -> 12 bytes; bottom row first.
    const uint32_t offset = le32(10);
    ASSERT_EQ(uint32_t(bytes.size()), offset + 2 * 12);
    EXPECT_EQ(uint8_t(bytes[offset]), 0x33);
    EXPECT_EQ(uint8_t(bytes[offset + 12]), 0xcc) << "top-left pixel, blue byte";
    EXPECT_EQ(uint8_t(bytes[offset + 14]), 0xaa);

    EXPECT_FALSE(SaveBitmap24(picture, QString::fromStdString(dir.File("missing/dir/shot.bmp"))));
}
