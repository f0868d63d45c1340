// The output window's choice of camera and its zoomed copy, on pictures
// whose every pixel tells where it came from.
#include "views/core/output_picture.h"

#include "base/exception.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

QRgb At(const QImage& image, int x, int y) {
    return image.pixel(x, y) & 0xffffff;
}

// Red and green carry x and y (modulo 256), blue the high bits of both.
QImage Pattern(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x & 0xff, y & 0xff, (x >> 8) << 4 | (y >> 8)));
    return image;
}

class ChooseOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_output = m_project.EnsureBuiltInType(BuiltInOutput);
        m_other = m_project.AddEventType(TEventType(QStringLiteral("Other")));
    }
    void Add(int32_t time, TParameters parameters, int32_t type = -1) {
        m_project.InsertEvent(
            std::make_unique<TEvent>(type < 0 ? m_output : type, time, QString(), std::move(parameters)));
    }
    std::optional<TOutputChoice> At(int32_t time) const {
        const int32_t cursor = static_cast<int32_t>(m_project.Events().UpperBound(time)) - 1;
        // Cameras 1 and 2 are windows 0 and 1.
        return ChooseOutput(m_project, cursor, QSize(641, 481),
                            [](int32_t camera) { return camera == 1 || camera == 2 ? camera - 1 : -1; });
    }

    TProject m_project;
    int32_t m_output = -1;
    int32_t m_other = -1;
};

} // namespace

TEST_F(ChooseOutputTest, TheNewestOutputEventWithAShownCameraWins) {
    Add(0, {{"Camera", "1"}});
    Add(5000, {{"Camera", "2"}, {"ZoomRatio", "2,5"}, {"ZoomCenterX", "10"}});
    Add(6000, {{"Camera", "7"}});
    Add(7000, {{"Camera", "-1"}});
    Add(8000, {{"Text", "no camera"}});
    Add(9000, {{"Camera", "1"}}, m_other);
    EXPECT_FALSE(At(-1));
    ASSERT_TRUE(At(4999));
    EXPECT_EQ(At(4999)->Camera, 1);
    EXPECT_EQ(At(4999)->Window, 0);
    EXPECT_EQ(At(4999)->ZoomRatio, 1);
    EXPECT_EQ(At(4999)->ZoomCenterX, 320);
    EXPECT_EQ(At(4999)->ZoomCenterY, 240);
    for (const int32_t time : {5000, 6500, 9500}) {
        ASSERT_TRUE(At(time)) << time;
        EXPECT_EQ(At(time)->Camera, 2) << time;
        EXPECT_EQ(At(time)->Window, 1) << time;
        EXPECT_FLOAT_EQ(float(At(time)->ZoomRatio), 2.5f);
        EXPECT_EQ(At(time)->ZoomCenterX, 10);
        EXPECT_EQ(At(time)->ZoomCenterY, 240);
    }
}

TEST_F(ChooseOutputTest, AValueThatIsNoNumberRaisesTheConversionError) {
    for (const TParameters& parameters :
         {TParameters{{"Camera", "abc"}}, TParameters{{"Camera", "1"}, {"ZoomRatio", "x"}},
          TParameters{{"Camera", "1"}, {"ZoomCenterY", "1-"}}}) {
        m_project.ClearEvents();
        Add(0, parameters);
        EXPECT_THROW(At(0), TConvertError) << parameters.ParametersToText().toStdString();
    }
}

TEST(ZoomSourceRectTest, CentreAndHalfSizeOverTheRatio) {
    EXPECT_EQ(ZoomSourceRect(QSize(640, 480), 2, 320, 240), QRectF(160, 120, 320, 240));
    EXPECT_EQ(ZoomSourceRect(QSize(640, 480), 0.5, 320, 240), QRectF(-320, -240, 1280, 960));
    // Odd sizes halve by integer division; edges truncate toward zero.
    EXPECT_EQ(ZoomSourceRect(QSize(641, 481), 3, 0, 0), QRectF(-106, -80, 212, 160));
    EXPECT_TRUE(ZoomSourceRect(QSize(640, 480), 0, 320, 240).isEmpty());
    EXPECT_TRUE(ZoomSourceRect(QSize(640, 480), -2, 320, 240).isEmpty());
}

TEST(RenderOutputPictureTest, RatioOneCopiesIntoTheSameStorage) {
    QImage source = Pattern(64, 48);
    QImage output;
    RenderOutputPicture(output, source, TOutputChoice{0, 1, 1, 32, 24});
    EXPECT_EQ(output, source);
    const uchar* storage = output.constBits();
    source.fill(Qt::blue);
    RenderOutputPicture(output, source, TOutputChoice{0, 1, 1, 32, 24});
    EXPECT_EQ(output, source);
    EXPECT_EQ(output.constBits(), storage) << "a tick must not allocate a new picture";
    EXPECT_NE(output.constBits(), source.constBits()) << "the source must not be shared";
}

TEST(RenderOutputPictureTest, OutsideTheFrameIsBlack) {
    const QImage source = Pattern(64, 48);
    QImage output(QSize(64, 48), QImage::Format_RGB32);
    output.fill(Qt::white);
    // Half the ratio: the frame fills the middle half of the picture.
    RenderOutputPicture(output, source, TOutputChoice{0, 1, 0.5, 32, 24});
    for (const QPoint p : {QPoint(0, 0), QPoint(15, 23), QPoint(48, 23), QPoint(32, 11), QPoint(63, 47)})
        EXPECT_EQ(At(output, p.x(), p.y()), 0u) << p.x() << "," << p.y();
    EXPECT_EQ(At(output, 16, 12), At(source, 0, 0));
    EXPECT_EQ(At(output, 40, 30), At(source, 48, 36));
    // A centre in the corner: three quarters black.
    RenderOutputPicture(output, source, TOutputChoice{0, 1, 2, 0, 0});
    EXPECT_EQ(At(output, 10, 10), 0u);
    EXPECT_EQ(At(output, 40, 30), At(source, 4, 3));
}
